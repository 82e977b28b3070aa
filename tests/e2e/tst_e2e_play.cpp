// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"

#include <QTest>

#include <algorithm>

using namespace e2e;

namespace {

constexpr int kMoveTimeoutMs = 3000;
// A refused move shows no change; this is how long the board is watched for one.
constexpr int kSettleMs = 400;
constexpr int kJumpAttempts = 6;

QList<int> Neighbours(int cell) {
    const std::vector<int> cells = NeighbourCells(cell);
    return QList<int>(cells.begin(), cells.end());
}

// An occupied cell that is not next to the empty one.
int FarCell(int empty) {
    const QList<int> near = Neighbours(empty);
    for (int cell = 1; cell <= kCells; ++cell)
        if (cell != empty && !near.contains(cell))
            return cell;
    return 0;
}

QString Cells(const QList<int>& cells) {
    QStringList names;
    for (const int cell : cells)
        names << QString::number(cell);
    return names.join(QLatin1Char(' '));
}

} // namespace

// Playing on the board: dealing, moving tiles by drag and by click, the hint, the move master.
class TestPlay : public E2eTestCase {
    Q_OBJECT

private slots:

    void newGame_data();
    void newGame();
    void dragMovesNeighbour();
    void refusedDrag_data();
    void refusedDrag();
    void clicks_data();
    void clicks();
    void hintMarksMovableTiles();
    void moveMaster_data();
    void moveMaster();

private:
    // Moves the tile in `from` into the empty cell `to` by `move` and checks that exactly that
    // happened; returns the board after it (null when it did not happen).
    ClientShot ExpectMove(const ClientShot& before, int from, int to,
                          const std::function<void()>& move);
    // Watches the board for a moment and checks that it stays as `before`.
    bool StaysAsBefore(const ClientShot& before);
    // Waits until the tiles with yellow corners are exactly the neighbours of `empty`.
    ClientShot ExpectHintsAround(int empty);
};

ClientShot TestPlay::ExpectMove(const ClientShot& before, int from, int to,
                                const std::function<void()>& move) {
    move();
    return f_.Game().WaitForShot(
        [&](const ClientShot& shot) { return shot.IsMoveOf(before, from, to); }, kMoveTimeoutMs);
}

bool TestPlay::StaysAsBefore(const ClientShot& before) {
    QTest::qWait(kSettleMs);
    const ClientShot now = f_.Game().Shot();
    return now.SamePosition(before);
}

void TestPlay::newGame_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("F2") << QStringLiteral("F2");
    QTest::newRow("menu by mouse") << QStringLiteral("mouse");
    QTest::newRow("menu by keys") << QStringLiteral("keys");
}

void TestPlay::newGame() {
    QFETCH(QString, way);
    GameRun& game = f_.Game();
    XSession& x = f_.X();

    if (way == QLatin1String("F2")) {
        x.Keys({QStringLiteral("F2")});
    } else if (way == QLatin1String("mouse")) {
        QVERIFY(game.ChooseByMouse(GameRun::kMenuTitleGame, {0})); // "Новая игра"
    } else {
        QVERIFY(game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}));
        x.Keys({QStringLiteral("Cyrillic_en")});
    }
    const ClientShot first = game.WaitForShot(&E2eFixture::IsDealt, kMoveTimeoutMs);
    QVERIFY2(!first.IsNull(), "no board with one empty cell appeared");
    QVERIFY2(first.TilesDistinct(), "two cells show the same tile");

    const ClientShot second = f_.NewGameByF2(first);
    QVERIFY2(!second.IsNull(), "a second F2 dealt no new position");
    QVERIFY(second.TilesDistinct());
}

void TestPlay::dragMovesNeighbour() {
    ClientShot board = f_.NewGameByF2();
    QVERIFY(!board.IsNull());
    // Two moves in a row, the second one back into the cell the first one emptied.
    for (int round = 0; round < 2; ++round) {
        const int empty = board.EmptyCell();
        const int from = Neighbours(empty).front();
        board = ExpectMove(board, from, empty, [&] { f_.Game().DragCell(from, empty); });
        QVERIFY2(
            !board.IsNull(),
            qPrintable(
                QStringLiteral("dragging cell %1 into %2 did not move it").arg(from).arg(empty)));
    }
}

void TestPlay::refusedDrag_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("non-neighbour onto the empty cell") << QStringLiteral("far");
    QTest::newRow("neighbour onto another tile") << QStringLiteral("tile");
    QTest::newRow("neighbour onto itself") << QStringLiteral("itself");
    QTest::newRow("neighbour released below the board") << QStringLiteral("below");
    QTest::newRow("neighbour released outside the window") << QStringLiteral("outside");
    QTest::newRow("neighbour pressed and released after a jump from the empty cell")
        << QStringLiteral("jump");
}

// A drag that is no move changes nothing, and leaves nothing behind: the next drag moves the
// tile dragged then, not the one dragged before.
void TestPlay::refusedDrag() {
    QFETCH(QString, kind);
    GameRun& game = f_.Game();
    const ClientShot before = f_.NewGameByF2();
    QVERIFY(!before.IsNull());
    const int empty = before.EmptyCell();
    const QList<int> near = Neighbours(empty);

    int dragged = near.front();
    QPoint target = game.CellCentre(empty);
    if (kind == QLatin1String("far"))
        dragged = FarCell(empty);
    else if (kind == QLatin1String("tile"))
        target = game.CellCentre(FarCell(empty));
    else if (kind == QLatin1String("itself"))
        target = game.CellCentre(dragged) + QPoint(6, 6);
    else if (kind == QLatin1String("below"))
        target = game.ToScreen({60, 280});
    else if (kind != QLatin1String("jump"))
        target = QPoint(f_.X().ScreenSize().width() - 60, 60);

    if (kind == QLatin1String("jump")) {
        // As a synthesized click does (a screen reader's, say): the pointer rests on the empty
        // cell, jumps onto the tile, and the button goes down and up there without motion.
        // Such a click moved the tile now and then, so it is tried a few times.
        const QPoint tile = game.CellCentre(dragged);
        for (int attempt = 0; attempt < kJumpAttempts; ++attempt) {
            f_.X().MoveMouse(target);
            f_.X().Xdotool({QStringLiteral("mousemove"), QString::number(tile.x()),
                            QString::number(tile.y()), QStringLiteral("mousedown"),
                            QStringLiteral("1"), QStringLiteral("mouseup"), QStringLiteral("1")});
        }
    } else {
        f_.X().Drag(game.CellCentre(dragged), target);
    }
    QVERIFY2(StaysAsBefore(before), "the refused drag changed the board");

    const int next = near.back() != dragged ? near.back() : near.front();
    const ClientShot after = ExpectMove(before, next, empty, [&] { game.DragCell(next, empty); });
    QVERIFY2(!after.IsNull(),
             qPrintable(QStringLiteral("the next drag did not move exactly cell %1 into %2")
                            .arg(next)
                            .arg(empty)));
}

void TestPlay::clicks_data() {
    QTest::addColumn<bool>("clickMode");
    QTest::addColumn<bool>("neighbour");
    QTest::addColumn<bool>("moves");
    QTest::newRow("click mode, neighbour") << true << true << true;
    QTest::newRow("click mode, non-neighbour") << true << false << false;
    QTest::newRow("drag mode, neighbour") << false << true << false;
}

void TestPlay::clicks() {
    QFETCH(bool, clickMode);
    QFETCH(bool, neighbour);
    QFETCH(bool, moves);
    GameRun& game = f_.Game();
    ClientShot board = f_.NewGameByF2();
    QVERIFY(!board.IsNull());
    if (clickMode)
        QVERIFY2(f_.ClickModeByMouse(), "the mode menu did not work");

    int empty = board.EmptyCell();
    const int clicked = neighbour ? Neighbours(empty).front() : FarCell(empty);
    if (moves) {
        board = ExpectMove(board, clicked, empty, [&] { game.ClickCell(clicked); });
        QVERIFY2(!board.IsNull(), "the click did not move the tile");
        empty = clicked;
    } else {
        game.ClickCell(clicked);
        QVERIFY2(StaysAsBefore(board), "the click moved a tile");
    }
    // The game goes on in the same mode: the next move of a neighbour works.
    const int next = Neighbours(empty).back();
    const ClientShot after = ExpectMove(board, next, empty, [&] {
        if (clickMode)
            game.ClickCell(next);
        else
            game.DragCell(next, empty);
    });
    QVERIFY2(!after.IsNull(), "the following move did not happen");
}

ClientShot TestPlay::ExpectHintsAround(int empty) {
    QList<int> expected = Neighbours(empty);
    std::sort(expected.begin(), expected.end());
    const ClientShot shot = f_.Game().WaitForShot(
        [&](const ClientShot& s) {
            return s.EmptyCell() == empty && s.HintedCells() == expected &&
                   s.CellsWithHintColourAnywhere() == expected;
        },
        kMoveTimeoutMs);
    if (shot.IsNull()) {
        const ClientShot now = f_.Game().Shot();
        qWarning("empty cell %d: yellow corners on %s, expected on %s", now.EmptyCell(),
                 qPrintable(Cells(now.CellsWithHintColourAnywhere())), qPrintable(Cells(expected)));
    }
    return shot;
}

// With the hint on, the movable tiles have yellow corners after every move and every deal.
// The empty cell is walked into a corner, onto an edge and inside, for 2, 3 and 4 of them.
void TestPlay::hintMarksMovableTiles() {
    GameRun& game = f_.Game();
    ClientShot board = f_.NewGameByF2();
    QVERIFY(!board.IsNull());
    QVERIFY(board.HintedCells().isEmpty());
    QVERIFY(game.ChooseByMouse(GameRun::kMenuTitleGame, {2})); // "Подсказка"
    board = ExpectHintsAround(board.EmptyCell());
    QVERIFY(!board.IsNull());

    QVERIFY(f_.ClickModeByKeys());
    QList<int> walk; // cells the empty cell passes through: up, left, then to cell 2 and 6
    for (int cell = board.EmptyCell(); cell > 4;)
        walk << (cell -= 4);
    for (int cell = walk.isEmpty() ? board.EmptyCell() : walk.back(); (cell - 1) % 4 > 0;)
        walk << --cell;
    walk << 2 << 6;
    for (const int next : walk) {
        const int empty = board.EmptyCell();
        board = ExpectMove(board, next, empty, [&] { game.ClickCell(next); });
        QVERIFY2(!board.IsNull(), qPrintable(QStringLiteral("cell %1 did not move").arg(next)));
        board = ExpectHintsAround(next);
        QVERIFY(!board.IsNull());
    }

    board = f_.NewGameByF2(board);
    QVERIFY(!board.IsNull());
    board = ExpectHintsAround(board.EmptyCell());
    QVERIFY(!board.IsNull());

    QVERIFY(game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}));
    f_.X().Keys({QStringLiteral("Cyrillic_es")}); // "Под&сказка" off
    const ClientShot plain = game.WaitForShot(
        [](const ClientShot& s) { return s.CellsWithHintColourAnywhere().isEmpty(); },
        kMoveTimeoutMs);
    QVERIFY2(!plain.IsNull(), "yellow corners stayed after the hint was switched off");
    QVERIFY(plain.SamePosition(board));
}

void TestPlay::moveMaster_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<bool>("hint");
    QTest::addColumn<QString>("stopKey");
    QTest::newRow("Ctrl+F3, stopped by F2") << false << false << QStringLiteral("F2");
    QTest::newRow("menu, stopped by F2") << true << false << QStringLiteral("F2");
    QTest::newRow("Ctrl+F3 with the hint on, stopped by Ctrl+F3")
        << false << true << QStringLiteral("ctrl+F3");
}

// The master plays on its own with both labels filled; F2 or its own shortcut stops it and
// empties them. With the hint on, the yellow corners follow its moves.
void TestPlay::moveMaster() {
    QFETCH(bool, byMenu);
    QFETCH(bool, hint);
    QFETCH(QString, stopKey);
    GameRun& game = f_.Game();
    XSession& x = f_.X();
    const ClientShot dealt = f_.NewGameByF2();
    QVERIFY(!dealt.IsNull());
    if (hint) {
        QVERIFY(game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}));
        x.Keys({QStringLiteral("Cyrillic_es")}); // "Под&сказка"
        QVERIFY(!ExpectHintsAround(dealt.EmptyCell()).IsNull());
    }

    if (byMenu)
        QVERIFY(game.ChooseByMouse(GameRun::kMenuTitleGame, {4})); // "Мастер ходов"
    else
        x.Keys({QStringLiteral("ctrl+F3")});

    QList<int> emptyCells{dealt.EmptyCell()};
    const ClientShot playing = game.WaitForShot(
        [&](const ClientShot& s) {
            if (s.EmptyCell() != 0 && !emptyCells.contains(s.EmptyCell()))
                emptyCells << s.EmptyCell();
            return emptyCells.size() >= 3 && s.TimeValueShown() && s.MoveValueShown();
        },
        4000, GameRun::Settle::No);
    QVERIFY2(!playing.IsNull(),
             qPrintable(QStringLiteral("empty cells seen: %1").arg(Cells(emptyCells))));
    // The title goes on as usual: the word, or part of it while it scrolls.
    const QString title = x.WindowName(game.MainWindow()).value_or(QString()).trimmed();
    QVERIFY2(!title.isEmpty() && QStringLiteral("Сдвигуль").endsWith(title), qPrintable(title));

    x.Keys({stopKey});
    const ClientShot stopped = game.WaitForShot(
        [](const ClientShot& s) {
            return E2eFixture::IsDealt(s) && !s.TimeValueShown() && !s.MoveValueShown();
        },
        kMoveTimeoutMs);
    QVERIFY2(!stopped.IsNull(), "the master was not stopped: its labels stay filled");
    QTest::qWait(1000);
    const ClientShot later = game.Shot();
    QVERIFY2(later.SamePosition(stopped), "tiles still move after the master was stopped");
    QVERIFY(!later.TimeValueShown() && !later.MoveValueShown());
    if (hint)
        QVERIFY(!ExpectHintsAround(later.EmptyCell()).IsNull());
}

QTEST_GUILESS_MAIN(TestPlay)
#include "tst_e2e_play.moc"
