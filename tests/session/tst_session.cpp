// SPDX-License-Identifier: GPL-3.0-or-later
// The game flow without a window: moves by click and drag, modes, the congratulation and the
// move master's clock, on a scripted generator and clock.
#include "boards.h"
#include "gamesession.h"
#include "scriptedrandom.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <map>

namespace {

// Answers "Еще раз?" as told, after a look at the session while the question is open.
struct ScriptedQuestion final : WinQuestion {
    bool answer = true;
    int asked = 0;
    std::function<void()> whileAsked;
    bool AskPlayAgain() override {
        ++asked;
        if (whileAsked)
            whileAsked();
        return answer;
    }
};

struct SessionFixture {
    FakeClock clock;
    ScriptedRandom random;
    ScriptedQuestion question;
    GameSession session{question, clock, random};

    void Deal(const board::Board& b) {
        random.PushDeal(b);
        session.NewGame();
    }
    void DealWithFreeCell(int freeCell) { Deal(DealableWithFreeCell(freeCell)); }
    int CellOf(int tile) const {
        return session.CurrentBoard().CellOf(static_cast<board::TileNo>(tile));
    }
};

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void moves_data();
    void moves();
    void modeSwitching();
    void hintPaintedAfterEveryChange();
    void congratulation_data();
    void congratulation();
    void elapsedTime_data();
    void elapsedTime();
    void newGameStopsMaster();
    void stoppedSessionIgnoresTicksAndAnswers();
    void masterMemorySurvivesNewGamesAndSwitching();
    void countDoesNotOverflow();
};

namespace {

// Runs `events` ("over 15, cell 16, ended 15", …) as the board's widgets would report them.
// A tile written "@12" is the one standing in cell 12 when its event comes.
void Play(GameSession& s, const QString& events) {
    for (const QString& event : events.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QStringList word = event.split(QLatin1Char(' '));
        const int n =
            word[1].startsWith('@')
                ? s.CurrentBoard().TileAt(static_cast<board::CellNo>(word[1].mid(1).toInt()))
                : word[1].toInt();
        const std::map<QString, void (GameSession::*)(int)> handlers{
            {"click", &GameSession::pC_Click},     {"over", &GameSession::pC_DragOver},
            {"tile", &GameSession::pC_DragDrop},   {"cell", &GameSession::P_DragDrop},
            {"ended", &GameSession::pC_DragEnded}, {"press", &GameSession::PressTile},
            {"mode", &GameSession::SetDragMode}};
        (s.*handlers.at(word[0]))(n);
    }
}

} // namespace

void TestSession::moves_data() {
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("freeAfter"); // where a moved tile came from
    QTest::addColumn<int>("chip");      // the tile remembered afterwards
    QTest::newRow("click 16 <- 12") << 16 << "mode 0, click @12" << 12 << 0;
    QTest::newRow("click 16 <- 15") << 16 << "mode 0, click @15" << 15 << 0;
    QTest::newRow("click 16 <- 11 refused") << 16 << "mode 0, click @11" << 16 << 0;
    QTest::newRow("click 5 <- 4 refused (other row)") << 5 << "mode 0, click @4" << 5 << 0;
    QTest::newRow("click 5 <- 1") << 5 << "mode 0, click @1" << 1 << 0;
    QTest::newRow("click 5 <- 6") << 5 << "mode 0, click @6" << 6 << 0;
    QTest::newRow("click 5 <- 9") << 5 << "mode 0, click @9" << 9 << 0;
    QTest::newRow("click 1 <- 2") << 1 << "mode 0, click @2" << 2 << 0;
    QTest::newRow("click 1 <- 6 refused") << 1 << "mode 0, click @6" << 1 << 0;
    QTest::newRow("drag onto the empty cell, over another tile on the way")
        << 16 << "over @15, over @1, cell 16, ended @15" << 15 << 0;
    QTest::newRow("far tile onto the empty cell") << 16 << "over @1, cell 16, ended @1" << 16 << 0;
    QTest::newRow("onto itself") << 16 << "over @15, tile @15, ended @15" << 16 << 0;
    QTest::newRow("onto another tile") << 16 << "over @15, tile @3, ended @15" << 16 << 0;
    QTest::newRow("onto an occupied cell") << 16 << "over @11, cell 12" << 16 << 0;
    QTest::newRow("drop with no tile remembered") << 16 << "cell 16" << 16 << 0;
    // Each drag let go outside the board is forgotten: the next drag, or a click after a
    // change to click mode, acts on its own tile (15 does not border cell 12; 11 would).
    QTest::newRow("dropped outside") << 16
                                     << "over 15, ended 15, over 12, cell 16, ended 12, "
                                        "over 11, ended 11, mode 0, click 15"
                                     << 12 << 0;
    QTest::newRow("a remembered tile outlives a mode change") << 16 << "over 9, mode 0" << 16 << 9;
    QTest::newRow("pressed in drag mode") << 16 << "press @15" << 15 << 0;
    QTest::newRow("pressed in click mode") << 5 << "mode 0, press @9" << 9 << 0;
    QTest::newRow("press that is no move") << 5 << "press @4" << 5 << 0;
}

void TestSession::moves() {
    QFETCH(int, freeCell);
    QFETCH(QString, events);
    QFETCH(int, freeAfter);
    QFETCH(int, chip);
    SessionFixture f;
    GameSession& s = f.session;
    f.DealWithFreeCell(freeCell);
    const board::Board before = s.CurrentBoard();
    QSignalSpy moved(&s, &GameSession::TileMoved);
    QSignalSpy byPlayer(&s, &GameSession::PlayerMoved);
    Play(s, events);
    QCOMPARE(s.GetFreeCell(), freeAfter);
    QCOMPARE(s.Chip(), chip);
    QCOMPARE(byPlayer.size(), int(freeAfter != freeCell));
    if (freeAfter == freeCell) {
        QVERIFY(s.CurrentBoard() == before);
        return;
    }
    const int tile = before.TileAt(static_cast<board::CellNo>(freeAfter));
    QCOMPARE(moved.takeFirst(), (QList<QVariant>{tile, freeAfter, freeCell}));
}

void TestSession::modeSwitching() {
    SessionFixture f;
    GameSession& s = f.session;
    QSignalSpy chosen(&s, &GameSession::DragModeChosen);
    QCOMPARE(s.DragMode(), int(GameSession::Automatic));
    // Picking the mode that is already on reports it again; indexes off the menu do nothing.
    for (const int index : {1, 0, 0, 2, -1})
        s.SetDragMode(index);
    QCOMPARE(chosen.size(), 3);
    QCOMPARE(s.DragMode(), int(GameSession::Manual));
    s.PressTile(1); // nothing moves before the first deal
    QVERIFY(s.CurrentBoard().IsSolved());
}

// With the hint on, a move of the player or the master and a new deal each have the hint's
// colours painted again; with it off, nothing does.
void TestSession::hintPaintedAfterEveryChange() {
    SessionFixture f;
    GameSession& s = f.session;
    f.DealWithFreeCell(16);
    QSignalSpy painted(&s, &GameSession::HintPainted);
    for (const bool on : {true, false}) {
        s.ToggleHint();
        Play(s, on ? "mode 0, click @12" : "click @2");
        s.ToggleMoveMaster();
        s.MasterTick();
        f.DealWithFreeCell(on ? 1 : 6); // switches the master off
    }
    QCOMPARE(painted.size(), 5);
    QCOMPARE(painted.last(), QList<QVariant>{false}); // switching the hint off
}

// The last move, by the player or the master, with the hint on: the move, the hint for the
// solved board, and only then the question, once, whatever ticks come while it is open. Yes
// deals again and switches the master off; No ends the game.
void TestSession::congratulation_data() {
    QTest::addColumn<bool>("byMaster");
    QTest::addColumn<bool>("yes");
    QTest::newRow("player, Yes") << false << true;
    QTest::newRow("player, No") << false << false;
    QTest::newRow("master, Yes") << true << true;
    QTest::newRow("master, No") << true << false;
}

void TestSession::congratulation() {
    QFETCH(bool, byMaster);
    QFETCH(bool, yes);
    SessionFixture f;
    GameSession& s = f.session;
    f.Deal(OneFromSolved());
    s.ToggleHint();
    f.clock.SetTime(9, 30, 0);
    s.ToggleMoveMaster();
    QStringList order;
    connect(&s, &GameSession::MasterStatus,
            [&](const QString& time, const QString& moves) { order << time + ' ' + moves; });
    connect(&s, &GameSession::TileMoved, [&](int tile) { order << QString::number(tile); });
    connect(&s, &GameSession::PlayerMoved, [&] { order << "player"; });
    connect(&s, &GameSession::HintPainted, [&] { order << "hint"; });
    connect(&s, &GameSession::Dealt, [&] { order << "dealt"; });
    connect(&s, &GameSession::QuitRequested, [&] { order << "quit"; });
    f.question.answer = yes;
    f.question.whileAsked = [&] {
        order << "asked";
        const board::MasterState memory = s.MasterMemory();
        f.clock.SetTime(9, 30, 7);
        for (int tick = 0; tick < 5; ++tick)
            s.MasterTick();
        s.Game();
        QCOMPARE(order.last(), QStringLiteral("asked")); // no time, count, move or hint
        QCOMPARE(s.MasterMemory().LastMasterTile, memory.LastMasterTile);
        QVERIFY(s.CurrentBoard().IsSolved());
        QVERIFY(s.Congratulating());
    };
    // The master draws its choice and the coin (tiles 1..6 are home), then Yes deals.
    if (byMaster)
        f.random.Push({0.75f, 0.75f});
    const board::Board next = BoardWithFreeCell(9);
    f.random.PushDeal(next);
    if (byMaster)
        s.MasterTick();
    else
        s.pC_Click(15);
    QCOMPARE(f.question.asked, 1);
    QVERIFY(!s.Congratulating());
    const QStringList asked = byMaster ? QStringList{"0:00:00 1", "15", "hint", "asked"}
                                       : QStringList{"15", "player", "hint", "asked"};
    QCOMPARE(order.mid(0, 4), asked);
    QCOMPARE(order.last(), QString::fromLatin1(yes ? "dealt" : "quit"));
    QCOMPARE(s.CurrentBoard() == next, yes);
    QCOMPARE(s.MasterOn(), !yes);
}

void TestSession::elapsedTime_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("now");
    QTest::addColumn<QString>("shown");
    QTest::newRow("same second") << 3600 << 3600 << "0:00:00";
    QTest::newRow("minutes") << 3600 << 3600 + 125 << "0:02:05";
    QTest::newRow("hours") << 0 << 11 * 3600 + 59 * 60 + 59 << "11:59:59";
    QTest::newRow("across midnight") << 86398 << 3 << "0:00:05";
    QTest::newRow("almost a day") << 1 << 0 << "23:59:59";
}

void TestSession::elapsedTime() {
    QFETCH(int, start);
    QFETCH(int, now);
    QFETCH(QString, shown);
    SessionFixture f;
    f.DealWithFreeCell(6);
    f.clock.SetSecondsOfDay(start);
    f.session.ToggleMoveMaster();
    QSignalSpy status(&f.session, &GameSession::MasterStatus);
    f.clock.SetSecondsOfDay(now);
    f.session.MasterTick();
    QCOMPARE(status.takeFirst(), (QList<QVariant>{shown, "1"}));
}

void TestSession::newGameStopsMaster() {
    SessionFixture f;
    GameSession& s = f.session;
    f.DealWithFreeCell(6);
    QSignalSpy switched(&s, &GameSession::MasterSwitched);
    s.ToggleMoveMaster();
    s.MasterTick();
    s.MasterTick();
    f.DealWithFreeCell(11);
    QCOMPARE(switched.size(), 2);
    QCOMPARE(switched.last(), QList<QVariant>{false});
    QVERIFY(!s.MasterOn());
    QVERIFY(!s.MasterTimer().isActive());
    QCOMPARE(s.GetFreeCell(), 11); // the deal came after the master stopped
    // On again, the count starts afresh.
    QSignalSpy status(&s, &GameSession::MasterStatus);
    s.ToggleMoveMaster();
    s.MasterTick();
    QCOMPARE(status.takeFirst().at(1).toString(), QStringLiteral("1"));
}

void TestSession::stoppedSessionIgnoresTicksAndAnswers() {
    // The window closes while the question is open: the answer decides nothing, and a tick
    // already queued does nothing.
    SessionFixture f;
    GameSession& s = f.session;
    f.Deal(OneFromSolved());
    s.ToggleMoveMaster();
    f.random.SetFallback(0.75f);
    QSignalSpy quit(&s, &GameSession::QuitRequested);
    QSignalSpy status(&s, &GameSession::MasterStatus);
    f.question.whileAsked = [&] { s.Stop(); };
    s.MasterTick();
    QVERIFY(quit.isEmpty());
    QVERIFY(s.CurrentBoard().IsSolved()); // no new deal
    QVERIFY(!s.MasterTimer().isActive());
    s.MasterTick();
    QCOMPARE(status.size(), 1);
}

void TestSession::masterMemorySurvivesNewGamesAndSwitching() {
    SessionFixture f;
    GameSession& s = f.session;
    f.DealWithFreeCell(6);
    s.ToggleMoveMaster();
    s.MasterTick();
    const board::MasterState memory = s.MasterMemory();
    QVERIFY(memory.LastMasterTile != 0);
    QCOMPARE(int(memory.LastMasterCell), s.GetFreeCell());
    s.ToggleMoveMaster();
    QCOMPARE(s.MasterMemory().LastMasterTile, memory.LastMasterTile);
    f.DealWithFreeCell(11);
    QCOMPARE(s.MasterMemory().LastMasterTile, memory.LastMasterTile);
    QCOMPARE(s.MasterMemory().LastMasterCell, memory.LastMasterCell);
}

void TestSession::countDoesNotOverflow() {
    // On a deal that cannot be solved the master runs for days: 10 ticks a second pass
    // 32,767 within an hour.
    SessionFixture f;
    GameSession& s = f.session;
    f.Deal(BoardWithCells({2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    s.ToggleMoveMaster();
    f.random.SetFallback(0.3f);
    QString moves;
    connect(&s, &GameSession::MasterStatus, [&](const QString&, const QString& m) { moves = m; });
    for (int tick = 0; tick < 40000; ++tick)
        s.MasterTick();
    QCOMPARE(moves, QStringLiteral("40000"));
    QVERIFY(!s.CurrentBoard().IsSolved());
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
