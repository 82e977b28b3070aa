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
    QVERIFY(int(g.Session().GetFreeCell()) != 6); // one master move was made
    // With the hint off the tick leaves the colours alone.
    for (int k = 1; k <= 15; ++k)
        QCOMPARE(g.Tile(k)->backColor(), QColor(0, 64, 0));
    g.mnuGame_Click(7);
    QVERIFY(!g.GameItem(7)->isChecked());
    QVERIFY(!g.Timer(2)->isActive());
    QVERIFY(g.MoveLabel()->text().isEmpty());
    QVERIFY(g.TimeLabel()->text().isEmpty());
}

QTEST_MAIN(TestTimers)
#include "tst_timers.moc"
