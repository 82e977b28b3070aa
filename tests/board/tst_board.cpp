// SPDX-License-Identifier: GPL-3.0-or-later
#include "board.h"
#include "boards.h"
#include "hint.h"

#include <QTest>

#include <cstdlib>

Q_DECLARE_METATYPE(board::Board)

class TestBoard : public QObject {
    Q_OBJECT

private slots:
    void startsSolved();
    void isPositionPart_data();
    void isPositionPart();
    void getFreeCell_data();
    void getFreeCell();
    void isMove_data();
    void isMove();
    void numbersOffTheBoardAreNoMove();
    void consistency_data();
    void consistency();
    void movableTilesCount_data();
    void movableTilesCount();
    void numberText_data();
    void numberText();
};

void TestBoard::startsSolved() {
    const board::Board b;
    QVERIFY(b.IsPositionPart(16));
    QVERIFY(b.IsSolved());
    QCOMPARE(b.GetFreeCell(), board::CellNo(16));
    QCOMPARE(b.TileAt(16), board::TileNo(0));
    QVERIFY(b.IsConsistent());
}

void TestBoard::isPositionPart_data() {
    QTest::addColumn<board::Board>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("expected");

    // Tiles 1..14 home, tile 15 in cell 16, cell 15 empty.
    const board::Board last = BoardWithCells({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16});
    QTest::newRow("14 home, 14 asked") << last << 14 << true;
    QTest::newRow("14 home, 16 asked") << last << 16 << false;
    QTest::newRow("14 home, 15 asked") << last << 15 << false;
    QTest::newRow("zero is always true") << BoardWithFreeCell(1) << 0 << true;
    QTest::newRow("negative is always true") << BoardWithFreeCell(1) << -3 << true;
    QTest::newRow("20 counts as 15, solved") << board::Board() << 20 << true;
    QTest::newRow("20 counts as 15, unsolved") << last << 20 << false;
    // Tile 1 home, everything after it shifted: only n = 1 holds.
    const board::Board firstHome = BoardWithFreeCell(2);
    QTest::newRow("tile 1 home") << firstHome << 1 << true;
    QTest::newRow("tile 2 away") << firstHome << 2 << false;
    QTest::newRow("tile 1 away") << BoardWithFreeCell(1) << 1 << false;
}

void TestBoard::isPositionPart() {
    QFETCH(board::Board, position);
    QFETCH(int, count);
    QFETCH(bool, expected);
    QCOMPARE(position.IsPositionPart(count), expected);
}

void TestBoard::getFreeCell_data() {
    QTest::addColumn<board::Board>("position");
    QTest::addColumn<int>("freeCell");
    for (int cell = 1; cell <= 16; ++cell)
        QTest::addRow("free %d", cell) << BoardWithFreeCell(cell) << cell;
    QTest::newRow("tile 15 in 16")
        << BoardWithCells({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16}) << 15;
}

void TestBoard::getFreeCell() {
    QFETCH(board::Board, position);
    QFETCH(int, freeCell);
    QCOMPARE(int(position.GetFreeCell()), freeCell);
    QCOMPARE(position.TileAt(static_cast<board::CellNo>(freeCell)), board::TileNo(0));
}

void TestBoard::isMove_data() {
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<int>("fromCell");
    QTest::addColumn<bool>("expected");
    QTest::newRow("16 from 12") << 16 << 12 << true;
    QTest::newRow("16 from 15") << 16 << 15 << true;
    QTest::newRow("16 from 11 (diagonal)") << 16 << 11 << false;
    QTest::newRow("5 from 4 (other row)") << 5 << 4 << false;
    QTest::newRow("4 from 5 (other row)") << 4 << 5 << false;
    QTest::newRow("5 from 1") << 5 << 1 << true;
    QTest::newRow("5 from 6") << 5 << 6 << true;
    QTest::newRow("5 from 9") << 5 << 9 << true;
    QTest::newRow("1 from 2") << 1 << 2 << true;
    QTest::newRow("1 from 5") << 1 << 5 << true;
    QTest::newRow("1 from 6 (diagonal)") << 1 << 6 << false;
    QTest::newRow("8 from 9 (wraps a row)") << 8 << 9 << false;
    QTest::newRow("12 from 13 (wraps a row)") << 12 << 13 << false;
    QTest::newRow("1 from 3 (two away)") << 1 << 3 << false;
    QTest::newRow("1 from 9 (two away)") << 1 << 9 << false;
    QTest::newRow("11 from 7") << 11 << 7 << true;
    QTest::newRow("11 from 15") << 11 << 15 << true;
}

void TestBoard::isMove() {
    QFETCH(int, freeCell);
    QFETCH(int, fromCell);
    QFETCH(bool, expected);
    const board::Board b = BoardWithFreeCell(freeCell);
    const board::TileNo tile = b.TileAt(static_cast<board::CellNo>(fromCell));
    QVERIFY(tile != 0);
    QCOMPARE(b.IsMove(tile, static_cast<board::CellNo>(freeCell)), expected);
}

void TestBoard::numbersOffTheBoardAreNoMove() {
    board::Board b;
    // Read as positions, cell 0 would sit left of cell 1 and cell 17 below cell 13.
    QVERIFY(!b.IsMove(0, 1)); // no tile remembered
    QVERIFY(!b.IsMove(0, 16));
    QVERIFY(!b.IsMove(16, 15));
    QVERIFY(!b.IsMove(-1, 16));
    QVERIFY(!b.IsMove(13, 17));
    QVERIFY(!b.IsMove(1, 0));
    // A tile is no neighbour of its own cell.
    QVERIFY(!b.IsMove(15, 15));
    // Placing with a number that is no tile or no cell changes nothing.
    b.Place(0, 16);
    b.Place(3, 0);
    b.Place(3, 17);
    QVERIFY(b == board::Board());
    QCOMPARE(b.CellOf(0), board::CellNo(0));
    QCOMPARE(b.TileAt(0), board::TileNo(0));
}

void TestBoard::consistency_data() {
    QTest::addColumn<board::Board>("position");
    QTest::addColumn<bool>("consistent");
    QTest::newRow("solved") << board::Board() << true;
    QTest::newRow("empty cell 1") << BoardWithFreeCell(1) << true;
    QTest::newRow("tiles 1 and 15 share cell 1")
        << BoardWithCells({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 1}) << false;
    QTest::newRow("tiles 7 and 8 share cell 8")
        << BoardWithCells({1, 2, 3, 4, 5, 6, 8, 8, 9, 10, 11, 12, 13, 14, 15}) << false;
}

void TestBoard::consistency() {
    QFETCH(board::Board, position);
    QFETCH(bool, consistent);
    QCOMPARE(position.IsConsistent(), consistent);
}

void TestBoard::movableTilesCount_data() {
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<int>("count");
    for (int cell : {1, 4, 13, 16})
        QTest::addRow("corner %d", cell) << cell << 2;
    for (int cell : {2, 3, 5, 8, 9, 12, 14, 15})
        QTest::addRow("edge %d", cell) << cell << 3;
    for (int cell : {6, 7, 10, 11})
        QTest::addRow("inner %d", cell) << cell << 4;
}

void TestBoard::movableTilesCount() {
    QFETCH(int, freeCell);
    QFETCH(int, count);
    const board::Board b = BoardWithFreeCell(freeCell);
    const auto movable = board::MovableTiles(b);
    QVERIFY(!movable[0]);
    int marked = 0;
    for (int tile = 1; tile <= 15; ++tile) {
        const int cell = b.CellOf(static_cast<board::TileNo>(tile));
        const bool borders =
            std::abs(cell - freeCell) == 4 ||
            (std::abs(cell - freeCell) == 1 && (cell - 1) / 4 == (freeCell - 1) / 4);
        QCOMPARE(movable[tile], borders);
        marked += movable[tile];
    }
    QCOMPARE(marked, count);
}

void TestBoard::numberText_data() {
    QTest::addColumn<int>("tile");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("x"); // on a tile 720 wide and 600 high
    QTest::newRow("7") << 7 << " 7" << 180.0f;
    QTest::newRow("9") << 9 << " 9" << 180.0f;
    QTest::newRow("10") << 10 << " 10" << 120.0f;
    QTest::newRow("12") << 12 << " 12" << 120.0f;
}

void TestBoard::numberText() {
    QFETCH(int, tile);
    QFETCH(QString, text);
    QFETCH(float, x);
    const board::NumberPlacement place =
        board::PlaceNumber(static_cast<board::TileNo>(tile), 720, 600);
    QCOMPARE(QString::fromStdString(place.text), text);
    QCOMPARE(place.x, x);
    QCOMPARE(place.y, 150.0f); // a quarter of the height
}

QTEST_APPLESS_MAIN(TestBoard)
#include "tst_board.moc"
