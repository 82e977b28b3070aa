// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <vector>

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

// What readers were told beyond the focus itself: Qt's announcements and a new description of
// the focused control (which Orca 48 speaks), or before Qt 6.8 the notifications shown.
QStringList spoken;

void RecordSpoken(QAccessibleEvent* event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement) {
        spoken << static_cast<QAccessibleAnnouncementEvent*>(event)->message();
        return;
    }
    if (event->type() == QAccessible::DescriptionChanged &&
        event->object() == QApplication::focusWidget()) {
        spoken << event->accessibleInterface()->text(QAccessible::Description);
        return;
    }
#endif
    QAccessibleInterface* shown = event->accessibleInterface();
    if (event->type() == QAccessible::ObjectShow && shown &&
        shown->role() == QAccessible::Notification)
        spoken << shown->text(QAccessible::Name);
}

QString LastSpoken() {
    return spoken.value(spoken.size() - 1);
}

// The keyboard focus after each of `count` presses of `key`.
std::vector<QWidget*> FocusWalk(frmGame& game, Qt::Key key, int count) {
    std::vector<QWidget*> walk;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &game, key,
                        key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        walk.push_back(QApplication::focusWidget());
    }
    return walk;
}

// Shown and active, so that the keyboard reaches it.
void ShowActive(frmGame& game) {
    game.show();
    game.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&game));
}

// A screen reader listens for the life of one test, as the desktop's bridge reports it; what
// it is told beside the focus is recorded.
struct ReaderOn {
    ReaderOn() {
        spoken.clear();
        previous = QAccessible::installUpdateHandler(RecordSpoken);
        SetActive(true);
    }
    ~ReaderOn() {
        SetActive(false);
        QAccessible::installUpdateHandler(previous);
    }
    QAccessible::UpdateHandler previous = nullptr;
    static void SetActive(bool active) {
        QPlatformAccessibility* bridge =
            QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(bridge);
        bridge->setActive(active);
    }
    ReaderOn(const ReaderOn&) = delete;
    ReaderOn& operator=(const ReaderOn&) = delete;
};

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
    void tabFollowsTheBoardsOrder();
    void focusedTilePressedByKeys_data();
    void focusedTilePressedByKeys();
    void windowKeepsItsNameWhileTheTitleScrolls();
};

void TestAccessible::boardReadsAsDealt() {
    GameFixture f;
    frmGame& g = *f.game;
    const ReaderOn reader;
    g.show();
    f.Deal({16, 3, 1, 2, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 4}); // cell 7 empty
    QAccessibleInterface* frame = Reader(g.BoardFrame());
    QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Игровое поле"));
    QCOMPARE(frame->role(), QAccessible::Grouping);
    for (int cell = 1; cell <= 16; ++cell) {
        QAccessibleInterface* reader = Reader(g.Cell(cell));
        QCOMPARE(reader->text(QAccessible::Name),
                 cell == 7 ? QStringLiteral("пусто") : QStringLiteral("клетка"));
        QCOMPARE(reader->text(QAccessible::Description), Place(cell));
        QCOMPARE(reader->childCount(), cell == 7 ? 0 : 1);
        QVERIFY(reader->actionInterface()->actionNames().isEmpty());
    }
    for (int k = 1; k <= 15; ++k) {
        QAccessibleInterface* reader = Reader(g.Tile(k));
        const int cell = g.Session().CurrentBoard().CellOf(static_cast<board::TileNo>(k));
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->text(QAccessible::Name), QString::number(k));
        QCOMPARE(reader->text(QAccessible::Description), Place(cell));
        QCOMPARE(reader->parent()->object(), g.Cell(cell));
        QCOMPARE(reader->actionInterface()->actionNames(),
                 QStringList{QAccessibleActionInterface::pressAction()});
    }
    // The status rows read as a status bar, caption and value one after the other.
    QAccessibleInterface* status = Reader(g.TimeLabel())->parent();
    QCOMPARE(status->role(), QAccessible::StatusBar);
    g.TimeLabel()->setText(QStringLiteral("0:00:03"));
    g.MoveLabel()->setText(QStringLiteral("32"));
    QStringList read;
    QStringList readAsText;
    for (int i = 0; i < status->childCount(); ++i) {
        read << status->child(i)->text(QAccessible::Name);
        const QAccessibleTextInterface* text = status->child(i)->textInterface();
        QVERIFY(text);
        readAsText << text->text(0, text->characterCount());
    }
    QCOMPARE(read, (QStringList{"Время:", "0:00:03", "Ход:", "32"}));
    QCOMPARE(readAsText, read);
    // The deal was announced with the empty cell's place.
    QCOMPARE(LastSpoken(), QStringLiteral("Новая раскладка. Пусто: ") + Place(7));
}

void TestAccessible::pressPlaysAsTheMouse_data() {
    QTest::addColumn<bool>("clickMode");
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<int>("pressedCell");
    QTest::addColumn<bool>("moves");
    QTest::newRow("drag: 16 <- 12") << false << 16 << 12 << true;
    QTest::newRow("drag: 16 <- 11 refused") << false << 16 << 11 << false;
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
    const board::Board before = g.Session().CurrentBoard();
    const int tile = before.TileAt(static_cast<board::CellNo>(pressedCell));
    Press(g, tile);
    QCOMPARE(g.Session().Chip(), 0);
    QVERIFY(f.TreeMatchesBoard());
    QCOMPARE(g.Session().CurrentBoard() != before, moves);
    if (moves) {
        QCOMPARE(int(g.Session().CurrentBoard().CellOf(static_cast<board::TileNo>(tile))),
                 freeCell);
        QCOMPARE(Reader(g.Tile(tile))->text(QAccessible::Description), Place(freeCell));
        QCOMPARE(Reader(g.Cell(pressedCell))->text(QAccessible::Name), QStringLiteral("пусто"));
    }
}

void TestAccessible::pressReachesOnlyAPlayableBoard() {
    GameFixture f;
    frmGame& g = *f.game;
    Press(g, 15); // before the first deal the board is hidden
    QVERIFY(g.Session().CurrentBoard().IsSolved());
    f.DealWithFreeCell(16);
    const board::Board before = g.Session().CurrentBoard();
    bool tried = false;
    OnNextModal([&](QWidget* chooser) {
        Press(g, 15); // behind the tile-back chooser the board cannot be reached
        tried = true;
        chooser->close();
    });
    g.mnuGame_Click(5);
    QVERIFY(tried);
    QCoreApplication::processEvents();
    QVERIFY(g.Session().CurrentBoard() == before);
}

void TestAccessible::pressThatSolvesLeavesTheReaderFree() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealOneFromSolved();
    bool asked = false;
    const board::Board next = BoardWithFreeCell(3); // what Yes deals
    f.random.PushDeal(next);
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
    QCOMPARE(int(g.Session().GetFreeCell()), 15);
    AnswerNextMessageBox(QMessageBox::Yes, [&](QMessageBox*) { asked = true; });
    QTRY_VERIFY(asked);
    QVERIFY(g.Session().CurrentBoard() == next);
    QVERIFY(f.TreeMatchesBoard());
}

void TestAccessible::hintWordingFollowsHintItem() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    QVERIFY(TilesSayingMovable(g).isEmpty());
    g.mnuGame_Click(4); // hint on: the tiles above and left of the empty cell say they can move
    const board::Board& b = g.Session().CurrentBoard();
    QCOMPARE(TilesSayingMovable(g), (QList<QObject*>{g.Tile(b.TileAt(12)), g.Tile(b.TileAt(15))}));
    QCOMPARE(Reader(g.Tile(b.TileAt(12)))->text(QAccessible::Description), Place(12) + kMovable);
    Press(g, b.TileAt(12)); // the wording follows the move, as the yellow corners do
    QCOMPARE(TilesSayingMovable(g).size(), 3);
    for (int cell : {8, 11, 16})
        QVERIFY(TilesSayingMovable(g).contains(g.Tile(b.TileAt(static_cast<board::CellNo>(cell)))));
    g.mnuGame_Click(4); // hint off: no tile says so, as no tile shows it
    QVERIFY(TilesSayingMovable(g).isEmpty());
}

// Tab and Shift+Tab walk the cells, then the tiles, in the board's own order, whichever cell
// each tile stands in; before the first deal there is nothing to reach.
void TestAccessible::tabFollowsTheBoardsOrder() {
    GameFixture f;
    frmGame& g = *f.game;
    ShowActive(g);
    FocusWalk(g, Qt::Key_Tab, 1);
    QCOMPARE(QApplication::focusWidget(), nullptr);
    f.DealWithFreeCell(7);
    std::vector<QWidget*> order{g.Cell(16)};
    for (int k = 2; k <= 15; ++k)
        order.push_back(g.Cell(k));
    order.push_back(g.Cell(1));
    order.push_back(g.Tile(15));
    for (int k = 3; k <= 14; ++k)
        order.push_back(g.Tile(k));
    order.push_back(g.Tile(1));
    order.push_back(g.Tile(2));
    QCOMPARE(FocusWalk(g, Qt::Key_Tab, 31), order);
    // A move and a new deal leave the order as it was; so does going backwards.
    Press(g, g.Session().CurrentBoard().TileAt(8));
    f.DealWithFreeCell(1);
    std::vector<QWidget*> backwards(order.rbegin() + 1, order.rend());
    backwards.push_back(order.back());
    QCOMPARE(FocusWalk(g, Qt::Key_Backtab, 31), backwards);
}

void TestAccessible::focusedTilePressedByKeys_data() {
    QTest::addColumn<bool>("readerOn");
    QTest::addColumn<bool>("clickMode");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<bool>("moves");
    QTest::newRow("reader, drag mode, Space")
        << true << false << int(Qt::Key_Space) << false << true;
    QTest::newRow("reader, click mode, Return")
        << true << true << int(Qt::Key_Return) << false << true;
    QTest::newRow("reader, keypad Enter") << true << false << int(Qt::Key_Enter) << false << true;
    QTest::newRow("reader, held Space") << true << false << int(Qt::Key_Space) << true << false;
    QTest::newRow("reader, other key") << true << false << int(Qt::Key_Right) << false << false;
    QTest::newRow("no reader: no keys") << false << false << int(Qt::Key_Space) << false << false;
}

// While a screen reader runs, Space or Enter presses the focused tile as the Press action
// does; the tile keeps the focus and the reader hears its new place.
void TestAccessible::focusedTilePressedByKeys() {
    QFETCH(bool, readerOn);
    QFETCH(bool, clickMode);
    QFETCH(int, key);
    QFETCH(bool, autoRepeat);
    QFETCH(bool, moves);
    GameFixture f;
    frmGame& g = *f.game;
    ShowActive(g);
    std::optional<ReaderOn> reader;
    if (readerOn)
        reader.emplace();
    f.DealWithFreeCell(16);
    if (clickMode)
        g.mnuDrag_Click(0);
    const board::Board before = g.Session().CurrentBoard();
    TileWidget* tile = g.Tile(before.TileAt(12));
    tile->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), tile); // the window may still become active
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(tile, &press);
    QCoreApplication::processEvents();
    QCOMPARE(g.Session().CurrentBoard() != before, moves);
    QCOMPARE(QApplication::focusWidget(), tile);
    QVERIFY(f.TreeMatchesBoard());
    if (moves)
        QCOMPARE(LastSpoken(), Place(16));
}

// The title scrolls; a reader keeps hearing the window's whole name.
void TestAccessible::windowKeepsItsNameWhileTheTitleScrolls() {
    GameFixture f;
    f.game->setWindowTitle(QStringLiteral("гуль                         Сдви"));
    QCOMPARE(Reader(f.game.get())->text(QAccessible::Name), QStringLiteral("Сдвигуль"));
}

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
