// SPDX-License-Identifier: GPL-3.0-or-later
#include "boards.h"
#include "master.h"
#include "scriptedrandom.h"
#include "shuffle.h"

#include <QTest>

#include <cstdlib>
#include <optional>

Q_DECLARE_METATYPE(board::Board)

namespace {

// Tiles 1..12 home, 13..15 rotated, cell 16 empty: tile 12 is held back, tile 14 (in cell 15)
// is the only candidate.
const board::Board kHeldBack = BoardWithCells({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 13});
// Tiles 1..4 home, tile 5 in cell 6, cell 5 empty; cell 9 holds tile 8.
const board::Board kTileFiveOut =
    BoardWithCells({1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
// Cell 6 empty, tile 3 in cell 10, cells 2, 5 and 7 hold tiles 8, 9 and 10.
const board::Board kRuleTwo = BoardWithCells({1, 3, 10, 4, 8, 9, 11, 2, 5, 7, 12, 13, 14, 15, 16});
// Tiles 1..6 home, cell 8 empty, tile 9 in cell 7, tile 7 in cell 12, tile 4 held back.
const board::Board kCoin = BoardWithCells({1, 2, 3, 4, 5, 6, 12, 9, 7, 10, 11, 13, 14, 15, 16});

// Cell 6 empty, tiles 1..4 home, tile 5 in cell 10, tile 6 in cell 7, tile 7 in cell 5: tile 6
// may not go home while tile 5 is away; tile 2 is held back.
const board::Board kFiveAway = BoardWithCells({1, 2, 3, 4, 10, 7, 5, 8, 9, 11, 12, 13, 14, 15, 16});
// Cell 6 empty, tiles 1..5 home, tile 6 in cell 10: tile 6 goes home, and no coin is drawn.
const board::Board kSixBelow = BoardWithCells({1, 2, 3, 4, 5, 10, 7, 8, 9, 11, 12, 13, 14, 15, 16});
// Cell 6 empty, tiles 1 and 2 swapped; around it tiles 1, 5, 6 and 9, the last two right of and
// below it but not lower than 6: no rule picks.
const board::Board kNoRule = BoardWithCells({2, 1, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
// Cell 12 empty; tiles 1, 2 and 3 in cells 8, 11 and 16: only the last entry, tile 3, is lower
// than 12 and beyond it.
const board::Board kLastMatch = BoardWithCells({8, 11, 16, 1, 2, 3, 4, 5, 6, 7, 9, 10, 13, 14, 15});
// Cell 11 empty; tiles 1..4 in cells 7, 12, 10 and 15: tiles 2 and 4 both qualify for rule 2.
const board::Board kTwoMatches =
    BoardWithCells({7, 12, 10, 15, 1, 2, 3, 4, 5, 6, 8, 9, 13, 14, 16});
// Cell 8 empty, tiles 1..7 home, tile 9 in cell 12: tiles 4 and 7 are both home with every
// lower tile, and the higher one, 7, is held back to pair with the lone candidate.
const board::Board kTwoHeld = BoardWithCells({1, 2, 3, 4, 5, 6, 7, 9, 12, 10, 11, 13, 14, 15, 16});

// r for which floor(r n + 1) - 1 is `index`.
float DrawIndex(int index, int n) {
    return (index + 0.5f) / static_cast<float>(n);
}

} // namespace

class TestMaster : public QObject {
    Q_OBJECT

private slots:
    void boardsAreWhatTheCommentsSay();
    void solvedBoardMovesNothing();
    void chooses_data();
    void chooses();
    void takeBackIsRedrawn();
    void takeBackGuardNeedsTheSameEmptyCell();
    void propertiesHoldOverManyCalls();
};

void TestMaster::boardsAreWhatTheCommentsSay() {
    QVERIFY(kHeldBack.IsConsistent() && kHeldBack.GetFreeCell() == 16);
    QVERIFY(kTileFiveOut.IsConsistent() && kTileFiveOut.GetFreeCell() == 5);
    QVERIFY(kRuleTwo.IsConsistent() && kRuleTwo.GetFreeCell() == 6);
    QCOMPARE(int(kRuleTwo.CellOf(3)), 10);
    QVERIFY(kCoin.IsConsistent() && kCoin.GetFreeCell() == 8);
    QVERIFY(kCoin.IsPositionPart(6));
    for (const auto& [position, freeCell] :
         {std::pair{kFiveAway, 6}, std::pair{kSixBelow, 6}, std::pair{kNoRule, 6},
          std::pair{kLastMatch, 12}, std::pair{kTwoMatches, 11}, std::pair{kTwoHeld, 8}})
        QVERIFY(position.IsConsistent() && position.GetFreeCell() == freeCell);

    const board::MasterCandidates held = board::FindMasterCandidates(kHeldBack, 16);
    QCOMPARE(held.count, 1);
    QCOMPARE(int(held.list[0]), 14);
    QCOMPARE(int(held.heldBack), 12);
    const board::MasterCandidates four = board::FindMasterCandidates(kRuleTwo, 6);
    QCOMPARE(four.count, 4);
    QCOMPARE(int(four.list[0]), 3);
    QCOMPARE(int(four.list[3]), 10);
    const board::MasterCandidates twoHeld = board::FindMasterCandidates(kTwoHeld, 8);
    QCOMPARE(twoHeld.count, 1);
    QCOMPARE(int(twoHeld.list[0]), 9);
    QCOMPARE(int(twoHeld.heldBack), 7);
}

void TestMaster::solvedBoardMovesNothing() {
    ScriptedRandom random;
    board::MasterState state{7, 11};
    QVERIFY(!board::Master(board::Board(), state, random));
    QCOMPARE(int(state.LastMasterTile), 7);
    QCOMPARE(int(state.LastMasterCell), 11);
    QCOMPARE(random.Draws(), 0);
    QCOMPARE(random.Reseeds(), 0);
}

void TestMaster::chooses_data() {
    QTest::addColumn<board::Board>("position");
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<int>("tile");
    QTest::addColumn<int>("drawsUsed");

    // The lone candidate is paired with the held-back tile; neither rule applies (there is
    // no tile 16 and no cell beyond 16), so the first draw picks. The coin is drawn too.
    QTest::newRow("held back, draw picks the candidate")
        << kHeldBack << QList<float>{DrawIndex(0, 2), 0.15f} << 14 << 2;
    QTest::newRow("held back, draw picks the held-back tile")
        << kHeldBack << QList<float>{DrawIndex(1, 2), 0.15f} << 12 << 2;
    // Rule 1 overrides the draw; tiles 1..6 are not home, so no coin.
    QTest::newRow("rule 1 sends tile 5 home")
        << kTileFiveOut << QList<float>{DrawIndex(1, 2)} << 5 << 1;
    // Rule 2: tile 3 stands below the empty cell 6; no coin since cell 6 is empty.
    QTest::newRow("rule 2 brings tile 3 up") << kRuleTwo << QList<float>{DrawIndex(3, 4)} << 3 << 1;
    // The coin: an odd v (1..10) skips rule 2 and keeps the draw, an even v lets rule 2 pick
    // tile 7.
    QTest::newRow("coin v=1 skips rule 2")
        << kCoin << QList<float>{DrawIndex(1, 2), 0.05f} << 9 << 2;
    QTest::newRow("coin v=2 applies rule 2")
        << kCoin << QList<float>{DrawIndex(1, 2), 0.15f} << 7 << 2;
    QTest::newRow("coin v=9 skips rule 2")
        << kCoin << QList<float>{DrawIndex(1, 2), 0.85f} << 9 << 2;
    QTest::newRow("coin v=10 applies rule 2")
        << kCoin << QList<float>{DrawIndex(1, 2), 0.95f} << 7 << 2;
    QTest::newRow("coin odd, draw already rule 2's tile")
        << kCoin << QList<float>{DrawIndex(0, 2), 0.25f} << 7 << 2;
    // Rule 1 waits until every lower tile is home: tile 5 is not, so rule 2 brings it up.
    QTest::newRow("rule 1 waits for tile 5")
        << kFiveAway << QList<float>{DrawIndex(2, 3)} << 5 << 1;
    QTest::newRow("rule 1 once tiles 1..5 are home")
        << kSixBelow << QList<float>{DrawIndex(1, 2)} << 6 << 1;
    // Tiles 6 and 9 stand beyond the empty cell but are not lower than it: the draw stands.
    QTest::newRow("no rule, draw picks tile 1")
        << kNoRule << QList<float>{DrawIndex(0, 4)} << 1 << 1;
    QTest::newRow("rule 2 match in the last entry")
        << kLastMatch << QList<float>{DrawIndex(0, 3)} << 3 << 1;
    QTest::newRow("rule 2 takes the first match")
        << kTwoMatches << QList<float>{DrawIndex(3, 4)} << 2 << 1;
    QTest::newRow("highest held-back tile pairs with the candidate")
        << kTwoHeld << QList<float>{DrawIndex(1, 2), 0.05f} << 7 << 2;
}

void TestMaster::chooses() {
    QFETCH(board::Board, position);
    QFETCH(QList<float>, draws);
    QFETCH(int, tile);
    QFETCH(int, drawsUsed);

    ScriptedRandom random;
    for (float r : draws)
        random.Push({r});
    board::MasterState state;
    const std::optional<board::TileMove> move = board::Master(position, state, random);
    QVERIFY(move);
    QCOMPARE(int(move->tile), tile);
    QCOMPARE(move->from, position.CellOf(move->tile));
    QCOMPARE(move->to, position.GetFreeCell());
    QCOMPARE(int(state.LastMasterTile), tile);
    QCOMPARE(state.LastMasterCell, move->from);
    QCOMPARE(random.Draws(), drawsUsed);
    QCOMPARE(random.Overruns(), 0);
    QCOMPARE(random.Reseeds(), 1);
}

void TestMaster::takeBackIsRedrawn() {
    // The last master move took tile 5 out of cell 5: rule 1 would put it straight back, so
    // the position is drawn again until it differs (the first redraw repeats it).
    ScriptedRandom random{DrawIndex(0, 2), DrawIndex(0, 2), DrawIndex(1, 2)};
    board::MasterState state{5, 5};
    const auto move = board::Master(kTileFiveOut, state, random);
    QVERIFY(move);
    QCOMPARE(int(move->tile), 8);
    QCOMPARE(random.Draws(), 3);
    QCOMPARE(int(state.LastMasterTile), 8);
    QCOMPARE(int(state.LastMasterCell), 9);

    // A generator stuck on the taken-back position: after its cap of redraws the master
    // takes the next entry instead of looping for ever.
    ScriptedRandom stuck;
    for (int draw = 0; draw < 1001; ++draw)
        stuck.Push({DrawIndex(0, 2)});
    board::MasterState again{5, 5};
    const auto next = board::Master(kTileFiveOut, again, stuck);
    QVERIFY(next);
    QCOMPARE(int(next->tile), 8);
    QCOMPARE(stuck.Left(), 0);
    QCOMPARE(stuck.Overruns(), 0);
}

void TestMaster::takeBackGuardNeedsTheSameEmptyCell() {
    // Tile 5 was moved last, but from another cell: moving it now takes nothing back.
    ScriptedRandom random{DrawIndex(1, 2)};
    board::MasterState state{5, 7};
    const auto move = board::Master(kTileFiveOut, state, random);
    QVERIFY(move);
    QCOMPARE(int(move->tile), 5);
    QCOMPARE(random.Draws(), 1);
}

void TestMaster::propertiesHoldOverManyCalls() {
    FakeClock clock;
    board::ClockMixedRandom random(clock, 99);
    board::MasterState state;
    int moves = 0;
    for (int game = 0; game < 40; ++game) {
        board::Board b = board::BoardFromDeal(board::Random(random));
        for (int call = 0; call < 1000; ++call) {
            const board::CellNo freeCell = b.GetFreeCell();
            const board::MasterCandidates c = board::FindMasterCandidates(b, freeCell);
            QVERIFY(c.count <= 4);
            for (int i = 1; i < c.count; ++i)
                QVERIFY(c.list[i - 1] < c.list[i]);
            const board::MasterState before = state;
            const auto move = board::Master(b, state, random);
            if (!move) {
                QVERIFY(b.IsSolved());
                QCOMPARE(state.LastMasterTile, before.LastMasterTile);
                break;
            }
            QVERIFY(b.IsMove(move->tile, freeCell));
            QCOMPARE(move->to, freeCell);
            // Never straight back into the cell it just left.
            QVERIFY(!(move->tile == before.LastMasterTile && freeCell == before.LastMasterCell));
            b.Place(move->tile, move->to);
            QVERIFY(b.IsConsistent());
            ++moves;
        }
    }
    QVERIFY(moves > 30000);
}

QTEST_APPLESS_MAIN(TestMaster)
#include "tst_master.moc"
