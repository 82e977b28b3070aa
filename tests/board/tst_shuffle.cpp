// SPDX-License-Identifier: GPL-3.0-or-later
#include "boards.h"
#include "scriptedrandom.h"
#include "shuffle.h"

#include <QTest>

#include <array>

namespace {
// r for which floor(16 r + 1) is `cell`.
float DrawFor(int cell) {
    return (cell - 1 + 0.5f) / 16.0f;
}
} // namespace

class TestShuffle : public QObject {
    Q_OBJECT

private slots:
    void drawCellCoversEveryCell_data();
    void drawCellCoversEveryCell();
    void redrawsTakenCellsWithoutReseeding();
    void solvedDealIsDealtAgain();
    void dealsAreDistinctAndNeverSolved();
    void emptyCellAndParityAreUniform();
    void reseedWithinOneTickStillGivesFreshDraws();
};

void TestShuffle::drawCellCoversEveryCell_data() {
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("cell");
    QTest::newRow("zero") << 0.0f << 1;
    QTest::newRow("just below 1/16") << 0.0624999f << 1;
    QTest::newRow("1/16") << 0.0625f << 2;
    QTest::newRow("one half") << 0.5f << 9;
    // The largest single-precision number below one: 16 r + 1 in single precision would
    // round to 17, a cell that does not exist.
    QTest::newRow("largest float below one") << (1.0f - 1.0f / 16777216.0f) << 16;
}

void TestShuffle::drawCellCoversEveryCell() {
    QFETCH(float, r);
    QFETCH(int, cell);
    ScriptedRandom random{r};
    QCOMPARE(int(board::DrawCell(random)), cell);
}

void TestShuffle::redrawsTakenCellsWithoutReseeding() {
    // Tile 1 gets cell 3; tile 2 draws 3 twice (taken) and then 5; the rest take cells
    // 16, 15, 14 ... so that the deal is not the solved one.
    ScriptedRandom random;
    random.Push({DrawFor(3), DrawFor(3), DrawFor(3), DrawFor(5)});
    for (int cell : {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 4, 2})
        random.Push({DrawFor(cell)});
    const board::Deal deal = board::Random(random);
    QCOMPARE(int(deal[1]), 3);
    QCOMPARE(int(deal[2]), 5);
    QCOMPARE(int(deal[15]), 2);
    QCOMPARE(random.Reseeds(), 15); // once per tile, not per draw
    QCOMPARE(random.Draws(), 17);
    QCOMPARE(random.Overruns(), 0);
    QCOMPARE(int(board::BoardFromDeal(deal).GetFreeCell()), 1);
}

void TestShuffle::solvedDealIsDealtAgain() {
    // Two solved deals in a row, then one with tiles 1 and 2 swapped.
    ScriptedRandom random;
    for (int round = 0; round < 2; ++round)
        for (int cell = 1; cell <= 15; ++cell)
            random.Push({DrawFor(cell)});
    for (int cell : {2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        random.Push({DrawFor(cell)});
    const board::Deal deal = board::Random(random);
    QVERIFY(!board::IsSolvedDeal(deal));
    QCOMPARE(int(deal[1]), 2);
    QCOMPARE(int(deal[2]), 1);
    QCOMPARE(random.Reseeds(), 45);
    QCOMPARE(random.Left(), 0);
    // Tile 1 in cell 16, all others home: not solved.
    QVERIFY(!board::IsSolvedDeal({0, 16, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

void TestShuffle::dealsAreDistinctAndNeverSolved() {
    FakeClock clock;
    board::ClockMixedRandom random(clock, 12345);
    for (int round = 0; round < 2000; ++round) {
        const board::Board b = board::BoardFromDeal(board::Random(random));
        QVERIFY(b.IsConsistent());
        QVERIFY(!b.IsPositionPart(16));
        const int freeCell = b.GetFreeCell();
        QVERIFY(freeCell >= 1 && freeCell <= 16);
        QCOMPARE(b.TileAt(static_cast<board::CellNo>(freeCell)), board::TileNo(0));
    }
}

void TestShuffle::emptyCellAndParityAreUniform() {
    // 16,000 deals from a fixed seed. Each cell is empty with probability 1/16: expected 1000,
    // standard deviation about 31; the bounds are five deviations wide. Half the positions
    // can be solved: expected 8000, deviation about 63.
    FakeClock clock;
    board::ClockMixedRandom random(clock, 20261207);
    constexpr int kDeals = 16000;
    std::array<int, 17> emptyCount{};
    int solvable = 0;
    for (int round = 0; round < kDeals; ++round) {
        const board::Board b = board::BoardFromDeal(board::Random(random));
        ++emptyCount[b.GetFreeCell()];
        solvable += IsSolvable(b);
    }
    for (int cell = 1; cell <= 16; ++cell) {
        QVERIFY2(
            emptyCount[cell] > 845 && emptyCount[cell] < 1155,
            qPrintable(QStringLiteral("cell %1 empty %2 times").arg(cell).arg(emptyCount[cell])));
    }
    QVERIFY2(solvable > 7685 && solvable < 8315, qPrintable(QString::number(solvable)));
}

void TestShuffle::reseedWithinOneTickStillGivesFreshDraws() {
    // A clock that never advances: each reseed mixes the same reading in, which must not
    // bring the generator back to the same state.
    class FrozenClock final : public board::Clock {
    public:
        std::uint64_t HighResolutionTicks() const override { return 42; }
        int SecondsOfDay() const override { return 0; }
    } frozen;
    board::ClockMixedRandom random(frozen, 7);
    std::array<int, 16> bins{};
    float previous = -1;
    int repeats = 0;
    constexpr int kDraws = 32000;
    for (int i = 0; i < kDraws; ++i) {
        random.Reseed();
        const float r = random.Next();
        QVERIFY(r >= 0.0f && r < 1.0f);
        repeats += (r == previous);
        previous = r;
        ++bins[static_cast<int>(r * 16)];
    }
    QCOMPARE(repeats, 0);
    for (int bin : bins)
        QVERIFY2(bin > 1780 && bin < 2220, qPrintable(QString::number(bin))); // 2000 +- 5 sd
}

QTEST_APPLESS_MAIN(TestShuffle)
#include "tst_shuffle.moc"
