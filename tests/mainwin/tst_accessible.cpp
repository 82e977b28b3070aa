// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

namespace {

QAccessibleInterface* Reader(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString Place(int cell) {
    return QStringLiteral("ряд %1, столбец %2").arg((cell - 1) / 4 + 1).arg((cell - 1) % 4 + 1);
}

const QString kMovable = QStringLiteral(", можно сдвинуть");

// Presses tile `tile` through its accessible action and lets the move run.
void Press(frmGame& game, int tile) {
    QAccessibleActionInterface* actions = Reader(game.Tile(tile))->actionInterface();
    QVERIFY(actions);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
}

QList<QObject*> TilesSayingMovable(const frmGame& game) {
    QList<QObject*> tiles;
    for (int k = 1; k <= 15; ++k)
        if (Reader(game.Tile(k))->text(QAccessible::Description).endsWith(kMovable))
            tiles << game.Tile(k);
    return tiles;
}

} // namespace

// What a screen reader reads of the board, and the moves it makes with the tiles' action.
class TestAccessible : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void boardReadsAsDealt();
    void pressPlaysAsTheMouse_data();
    void pressPlaysAsTheMouse();
    void pressReachesOnlyAPlayableBoard();
    void pressThatSolvesLeavesTheReaderFree();
    void hintWordingFollowsHintItem();
};

void TestAccessible::boardReadsAsDealt() {
    GameFixture f;
    frmGame& g = *f.game;
    f.Deal({16, 3, 1, 2, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 4}); // cell 7 empty
    QAccessibleInterface* frame = Reader(g.BoardFrame());
    QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Игровое поле"));
    QCOMPARE(frame->role(), QAccessible::Grouping);
    for (int cell = 1; cell <= 16; ++cell) {
        QAccessibleInterface* reader = Reader(g.Cell(cell));
        QCOMPARE(reader->text(QAccessible::Name),
                 cell == 7 ? QStringLiteral("пустая клетка") : QStringLiteral("клетка"));
        QCOMPARE(reader->text(QAccessible::Description), Place(cell));
        QCOMPARE(reader->childCount(), cell == 7 ? 0 : 1);
        QVERIFY(reader->actionInterface()->actionNames().isEmpty());
    }
    for (int k = 1; k <= 15; ++k) {
        QAccessibleInterface* reader = Reader(g.Tile(k));
        const int cell = g.CurrentBoard().CellOf(static_cast<board::TileNo>(k));
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->text(QAccessible::Name), QString::number(k));
        QCOMPARE(reader->text(QAccessible::Description), Place(cell));
        QCOMPARE(reader->parent()->object(), g.Cell(cell));
        QCOMPARE(reader->actionInterface()->actionNames(),
                 QStringList{QAccessibleActionInterface::pressAction()});
    }
    // Each status value is labelled by its caption, so a reader says "Ход: 12".
    for (const auto& [value, caption] :
         {std::pair{g.MoveLabel(), "lblHodCap"}, std::pair{g.TimeLabel(), "lblTimeCap"}}) {
        QCOMPARE(Reader(value)->text(QAccessible::Name), QString()); // not its caption
        const auto relations = Reader(value)->relations(QAccessible::Label);
        QCOMPARE(relations.size(), 1);
        QCOMPARE(relations.front().first->object(), g.findChild<QLabel*>(caption));
    }
}

void TestAccessible::pressPlaysAsTheMouse_data() {
    QTest::addColumn<bool>("clickMode");
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<int>("pressedCell");
    QTest::addColumn<bool>("moves");
    QTest::newRow("drag: 16 <- 12") << false << 16 << 12 << true;
    QTest::newRow("drag: 16 <- 11 refused") << false << 16 << 11 << false;
    QTest::newRow("drag: 5 <- 4 refused (other row)") << false << 5 << 4 << false;
    QTest::newRow("drag: 5 <- 9") << false << 5 << 9 << true;
    QTest::newRow("click: 16 <- 15") << true << 16 << 15 << true;
    QTest::newRow("click: 1 <- 6 refused") << true << 1 << 6 << false;
    QTest::newRow("click: 1 <- 5") << true << 1 << 5 << true;
}

void TestAccessible::pressPlaysAsTheMouse() {
    QFETCH(bool, clickMode);
    QFETCH(int, freeCell);
    QFETCH(int, pressedCell);
    QFETCH(bool, moves);
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(freeCell);
    if (clickMode)
        g.mnuDrag_Click(0);
    const board::Board before = g.CurrentBoard();
    const int tile = before.TileAt(static_cast<board::CellNo>(pressedCell));
    Press(g, tile);
    QCOMPARE(g.Chip(), 0);
    QVERIFY(f.TreeMatchesBoard());
    QCOMPARE(g.CurrentBoard() != before, moves);
    if (moves) {
        QCOMPARE(int(g.CurrentBoard().CellOf(static_cast<board::TileNo>(tile))), freeCell);
        QCOMPARE(Reader(g.Tile(tile))->text(QAccessible::Description), Place(freeCell));
        QCOMPARE(Reader(g.Cell(pressedCell))->text(QAccessible::Name),
                 QStringLiteral("пустая клетка"));
    }
}

void TestAccessible::pressReachesOnlyAPlayableBoard() {
    GameFixture f;
    frmGame& g = *f.game;
    Press(g, 15); // before the first deal the board is hidden
    QVERIFY(g.CurrentBoard().IsSolved());
    f.DealWithFreeCell(16);
    const board::Board before = g.CurrentBoard();
    bool tried = false;
    OnNextModal([&](QWidget* chooser) {
        Press(g, 15); // behind the tile-back chooser the board cannot be reached
        tried = true;
        chooser->close();
    });
    g.mnuGame_Click(5);
    QVERIFY(tried);
    QCoreApplication::processEvents();
    QVERIFY(g.CurrentBoard() == before);
}

void TestAccessible::pressThatSolvesLeavesTheReaderFree() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealOneFromSolved();
    bool asked = false;
    const board::Board next = BoardWithFreeCell(3); // what Yes deals
    for (int tile = 1; tile <= 15; ++tile)
        f.random.Push({DrawForCell(next.CellOf(static_cast<board::TileNo>(tile)))});
    // Were the question opened inside the reader's call, this would find it there and answer.
    bool readerWaited = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            readerWaited = true;
            box->button(QMessageBox::Yes)->click();
        }
    });
    Reader(g.Tile(15))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    // The reader's call has returned before the question opens; the move follows at once.
    QVERIFY(!readerWaited);
    QCOMPARE(int(g.GetFreeCell()), 15);
    AnswerNextMessageBox(QMessageBox::Yes, [&](QMessageBox*) { asked = true; });
    QTRY_VERIFY(asked);
    QVERIFY(!g.Congratulating());
    QVERIFY(g.CurrentBoard() == next);
    QVERIFY(f.TreeMatchesBoard());
    QCOMPARE(g.Chip(), 0);
}

void TestAccessible::hintWordingFollowsHintItem() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    QVERIFY(TilesSayingMovable(g).isEmpty());
    g.mnuGame_Click(4); // hint on: the tiles above and left of the empty cell say they can move
    const board::Board& b = g.CurrentBoard();
    QCOMPARE(TilesSayingMovable(g), (QList<QObject*>{g.Tile(b.TileAt(12)), g.Tile(b.TileAt(15))}));
    QCOMPARE(Reader(g.Tile(b.TileAt(12)))->text(QAccessible::Description), Place(12) + kMovable);
    Press(g, b.TileAt(12)); // the wording follows the move, as the yellow corners do
    QCOMPARE(TilesSayingMovable(g).size(), 3);
    for (int cell : {8, 11, 16})
        QVERIFY(TilesSayingMovable(g).contains(g.Tile(b.TileAt(static_cast<board::CellNo>(cell)))));
    g.mnuGame_Click(4); // hint off: no tile says so, as no tile shows it
    QVERIFY(TilesSayingMovable(g).isEmpty());
}

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
