// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>

// The title scroll, the move master's tick and its two status labels.
class TestTimers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void titleScrollsOutAndBackIn_data();
    void titleScrollsOutAndBackIn();
    void unknownTimerDoesNothing();
    void masterLabelsOnSwitchOnAndOff();
    void elapsedTime_data();
    void elapsedTime();
    void newGameStopsMaster();
    void masterTickOrderAndOneCongratulation();
    void congratulationNoDuringMasterRun();
    void masterMemorySurvivesNewGamesAndSwitching();
    void countDoesNotOverflow();
};

void TestTimers::titleScrollsOutAndBackIn_data() {
    // With neither an X window manager nor a Wayland compositor to ask, the title writer learns
    // from the session's name whether the desktop tidies captions (KWin folds their blanks);
    // there the blanks go out behind a joiner.
    QTest::addColumn<QByteArray>("desktop");
    QTest::addColumn<bool>("keepsBlanks");
    QTest::newRow("no desktop named") << QByteArray() << false;
    QTest::newRow("GNOME") << QByteArray("GNOME") << false;
    QTest::newRow("Ubuntu's GNOME") << QByteArray("ubuntu:GNOME") << false;
    QTest::newRow("a name holding KDE") << QByteArray("NOTKDE") << false;
    QTest::newRow("KDE") << QByteArray("KDE") << true;
    QTest::newRow("KDE in a list, lower case") << QByteArray("X-Custom:kde") << true;
}

void TestTimers::titleScrollsOutAndBackIn() {
    QFETCH(QByteArray, desktop);
    QFETCH(bool, keepsBlanks);
    const QByteArray oldDesktop = qgetenv("XDG_CURRENT_DESKTOP");
    const auto restore = qScopeGuard([&] { qputenv("XDG_CURRENT_DESKTOP", oldDesktop); });
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    const auto sent = [keepsBlanks](int blanks) {
        const QString blank = keepsBlanks ? QStringLiteral("\u034F ") : QStringLiteral(" ");
        return blank.repeated(blanks) + QStringLiteral("Сдвигуль");
    };

    GameFixture f;
    frmGame& g = *f.game;
    g.tmr_Timer(1);
    QVERIFY(g.Timer(0)->isActive());
    QStringList titles;
    for (int tick = 0; tick < 33; ++tick) {
        QVERIFY2(g.Timer(0)->isActive(), qPrintable(QString::number(tick)));
        g.tmr_Timer(0);
        titles << g.windowTitle();
        QVERIFY(!titles.last().isEmpty());
    }
    QVERIFY(!g.Timer(0)->isActive());
    QCOMPARE(titles[0], QStringLiteral("двигуль"));
    QCOMPARE(titles[1], QStringLiteral("вигуль"));
    QCOMPARE(titles[6], QStringLiteral("ь"));
    QCOMPARE(titles[7], sent(25));
    QCOMPARE(titles[8], sent(24));
    QCOMPARE(titles[31], sent(1));
    QCOMPARE(titles[32], QStringLiteral("Сдвигуль"));
    const QFontMetricsF metrics(g.font());
    for (int tick = 7; tick < 32; ++tick) {
        const QString& title = titles[tick];
        // Every step keeps its width through a caption tidying like KWin's when the blanks go
        // out behind joiners, and the joiners take no room of their own.
        QCOMPARE(title.simplified() == title, keepsBlanks);
        QCOMPARE(metrics.horizontalAdvance(title), metrics.horizontalAdvance(sent(32 - tick)));
        QCOMPARE(metrics.horizontalAdvance(title),
                 metrics.horizontalAdvance(QString(32 - tick, QLatin1Char(' ')) +
                                           QStringLiteral("Сдвигуль")));
    }
    // The next period scrolls again the same way.
    g.tmr_Timer(1);
    g.tmr_Timer(0);
    QCOMPARE(g.windowTitle(), QStringLiteral("двигуль"));
}

void TestTimers::unknownTimerDoesNothing() {
    GameFixture f;
    f.game->tmr_Timer(3);
    f.game->tmr_Timer(-1);
    QCOMPARE(f.game->windowTitle(), QStringLiteral("Сдвигуль"));
    QVERIFY(f.game->MoveLabel()->text().isEmpty());
}

void TestTimers::masterLabelsOnSwitchOnAndOff() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(6);
    f.clock.SetTime(10, 0, 0);
    g.mnuGame_Click(7);
    QVERIFY(g.GameItem(7)->isChecked());
    QVERIFY(g.Timer(2)->isActive());
    QCOMPARE(g.Timer(2)->interval(), 100);
    QVERIFY(g.MoveLabel()->text().isEmpty()); // switching on shows nothing yet
    g.tmr_Timer(2);
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
    QCOMPARE(g.TimeLabel()->text(), QStringLiteral("0:00:00"));
    QVERIFY(int(g.GetFreeCell()) != 6); // one master move was made
    // With the hint off the tick leaves the colours alone.
    for (int k = 1; k <= 15; ++k)
        QCOMPARE(g.Tile(k)->backColor(), QColor(0, 64, 0));
    f.clock.SetTime(10, 2, 5);
    g.tmr_Timer(2);
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("2"));
    QCOMPARE(g.TimeLabel()->text(), QStringLiteral("0:02:05"));
    g.mnuGame_Click(7);
    QVERIFY(!g.GameItem(7)->isChecked());
    QVERIFY(!g.Timer(2)->isActive());
    QVERIFY(g.MoveLabel()->text().isEmpty());
    QVERIFY(g.TimeLabel()->text().isEmpty());
    // On again: count and time start afresh.
    f.clock.SetTime(11, 0, 0);
    g.mnuGame_Click(7);
    f.clock.SetTime(11, 0, 1);
    g.tmr_Timer(2);
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
    QCOMPARE(g.TimeLabel()->text(), QStringLiteral("0:00:01"));
}

void TestTimers::elapsedTime_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("now");
    QTest::addColumn<QString>("shown");
    QTest::newRow("same second") << 3600 << 3600 << "0:00:00";
    QTest::newRow("minutes") << 3600 << 3600 + 125 << "0:02:05";
    QTest::newRow("hours") << 0 << 11 * 3600 + 59 * 60 + 59 << "11:59:59";
    QTest::newRow("across midnight") << 86398 << 3 << "0:00:05";
    QTest::newRow("almost a day") << 1 << 0 << "23:59:59";
}

void TestTimers::elapsedTime() {
    QFETCH(int, start);
    QFETCH(int, now);
    QFETCH(QString, shown);
    GameFixture f;
    f.DealWithFreeCell(6);
    f.clock.SetSecondsOfDay(start);
    f.game->mnuGame_Click(7);
    f.clock.SetSecondsOfDay(now);
    f.game->tmr_Timer(2);
    QCOMPARE(f.game->TimeLabel()->text(), shown);
}

void TestTimers::newGameStopsMaster() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(6);
    g.mnuGame_Click(7);
    g.tmr_Timer(2);
    g.tmr_Timer(2);
    f.DealWithFreeCell(11);
    QVERIFY(!g.GameItem(7)->isChecked());
    QVERIFY(!g.Timer(2)->isActive());
    QVERIFY(g.MoveLabel()->text().isEmpty());
    QVERIFY(g.TimeLabel()->text().isEmpty());
    QCOMPARE(int(g.GetFreeCell()), 11); // the deal came after the master stopped
}

void TestTimers::masterTickOrderAndOneCongratulation() {
    // One master move from solved, with the hint on: the tick shows time and count, moves
    // tile 15 home (rule 1), repaints the hint and only then congratulates. While the
    // question is open, further ticks do nothing at all.
    GameFixture f;
    frmGame& g = *f.game;
    f.DealOneFromSolved();
    g.mnuGame_Click(4);
    f.clock.SetTime(9, 30, 0);
    g.mnuGame_Click(7);
    int boxes = 0;
    AnswerNextMessageBox(QMessageBox::Yes, [&](QMessageBox*) {
        ++boxes;
        QVERIFY(g.CurrentBoard().IsSolved());
        QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
        QCOMPARE(g.TimeLabel()->text(), QStringLiteral("0:00:00"));
        QCOMPARE(ColorAt(g.Tile(15), 0, 0), QColor(255, 255, 0)); // hint of the solved board
        QCOMPARE(ColorAt(g.Tile(12), 0, 0), QColor(255, 255, 0));
        QCOMPARE(ColorAt(g.Tile(14), 0, 0), QColor(0, 64, 0));
        const board::MasterState memory = g.MasterMemory();
        f.clock.SetTime(9, 30, 7);
        for (int tick = 0; tick < 5; ++tick)
            g.tmr_Timer(2);
        QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
        QCOMPARE(g.TimeLabel()->text(), QStringLiteral("0:00:00"));
        QCOMPARE(g.MasterMemory().LastMasterTile, memory.LastMasterTile);
        QVERIFY(g.CurrentBoard().IsSolved());
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += qobject_cast<QMessageBox*>(w) && w->isVisible();
        QCOMPARE(open, 1);
    });
    // The master draws its choice and the coin (tiles 1..6 are home), then Yes deals.
    f.random.Push({0.75f, 0.75f});
    const board::Board next = BoardWithFreeCell(9);
    for (int tile = 1; tile <= 15; ++tile)
        f.random.Push({DrawForCell(next.CellOf(static_cast<board::TileNo>(tile)))});
    g.tmr_Timer(2);
    QCOMPARE(boxes, 1);
    // Yes dealt a new game, which switched the master off.
    QVERIFY(g.CurrentBoard() == next);
    QVERIFY(!g.GameItem(7)->isChecked());
    QVERIFY(!g.Timer(2)->isActive());
    QVERIFY(g.MoveLabel()->text().isEmpty());
    QVERIFY(!g.Congratulating());
}

void TestTimers::congratulationNoDuringMasterRun() {
    GameFixture f;
    frmGame& g = *f.game;
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    f.DealOneFromSolved();
    g.mnuGame_Click(7);
    f.random.SetFallback(0.75f);
    AnswerNextMessageBox(QMessageBox::No);
    g.tmr_Timer(2);
    QVERIFY(!g.isVisible());
    QVERIFY(!g.Timer(2)->isActive());
    g.tmr_Timer(2); // a tick already queued when the window closed is ignored
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
}

void TestTimers::masterMemorySurvivesNewGamesAndSwitching() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(6);
    g.mnuGame_Click(7);
    g.tmr_Timer(2);
    const board::MasterState memory = g.MasterMemory();
    QVERIFY(memory.LastMasterTile != 0);
    QCOMPARE(int(memory.LastMasterCell), int(g.GetFreeCell()));
    g.mnuGame_Click(7);
    QCOMPARE(g.MasterMemory().LastMasterTile, memory.LastMasterTile);
    f.DealWithFreeCell(11);
    QCOMPARE(g.MasterMemory().LastMasterTile, memory.LastMasterTile);
    QCOMPARE(g.MasterMemory().LastMasterCell, memory.LastMasterCell);
}

void TestTimers::countDoesNotOverflow() {
    // On a deal that cannot be solved the master runs for days: 10 ticks a second pass
    // 32,767 within an hour.
    GameFixture f;
    frmGame& g = *f.game;
    f.Deal({2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}); // tiles 1 and 2 swapped
    g.mnuGame_Click(7);
    f.random.SetFallback(0.3f);
    for (int tick = 0; tick < 40000; ++tick)
        g.tmr_Timer(2);
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("40000"));
    QVERIFY(!g.CurrentBoard().IsSolved());
}

QTEST_MAIN(TestTimers)
#include "tst_timers.moc"
