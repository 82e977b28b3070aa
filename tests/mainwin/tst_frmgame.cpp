// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"

#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

// Start-up, new game, moves by click and drag, modes, and the congratulation.
class TestFrmGame : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void startsWithBoardHiddenAndMenusPrepared();
    void menusAsTheMenuBarHoldsThem_data();
    void menusAsTheMenuBarHoldsThem();
    void windowIsFixedAndHasNoMaximizeButton();
    void firstNewGameShowsAndDealsBoard();
    void laterNewGamesKeepPicturesAndResetNothingElse();
    void everySignalReachesItsHandler();
    void clickWithRealMouseInClickMode();
    void dropCountsWhereTheButtonWasReleased_data();
    void dropCountsWhereTheButtonWasReleased();
    void modeMenuItemsKeepOneCheckMark();
    void congratulationYesDealsAgain_data();
    void congratulationYesDealsAgain();
    void congratulationNoClosesWindow();
    void exitClosesWindow();
    void helpMissingSaysSo();
};

void TestFrmGame::startsWithBoardHiddenAndMenusPrepared() {
    GameFixture f;
    frmGame& g = *f.game;
    QCOMPARE(g.windowTitle(), QStringLiteral("Сдвигуль"));
    QCOMPARE(g.TitleTag(), QString(25, QLatin1Char(' ')) + QStringLiteral("Сдвигуль"));
    QVERIFY(g.BoardFrame()->isHidden());
    QVERIFY(!g.Session().Started());
    QVERIFY(!g.GameItem(7)->isEnabled());
    QVERIFY(!g.GameItem(7)->isChecked());
    QVERIFY(!g.GameItem(4)->isChecked());
    QVERIFY(g.DragItem(1)->isChecked());
    QVERIFY(!g.DragItem(0)->isChecked());
    QCOMPARE(g.GameItem(0)->shortcut(), QKeySequence(Qt::Key_F2));
    QCOMPARE(g.HelpItem(0)->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(g.GameItem(7)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F3));
    QVERIFY(g.TimeLabel()->text().isEmpty());
    QVERIFY(g.MoveLabel()->text().isEmpty());
    QCOMPARE(g.findChild<QLabel*>(QStringLiteral("lblTimeCap"))->text(), QStringLiteral("Время:"));
    const QLabel* moveCaption = g.findChild<QLabel*>(QStringLiteral("lblHodCap"));
    QCOMPARE(moveCaption->text(), QStringLiteral("Ход:"));
    QCOMPARE(moveCaption->foregroundRole(), QPalette::HighlightedText);
    // The four status labels share the font in which both captions fit, and the longest texts
    // a run shows in a day fit too.
    const QLabel* timeCaption = g.findChild<QLabel*>(QStringLiteral("lblTimeCap"));
    for (const QLabel* label : {timeCaption, moveCaption}) {
        QCOMPARE(label->font(), g.TimeLabel()->font());
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <=
                     label->contentsRect().width(),
                 qPrintable(label->text()));
    }
    QCOMPARE(g.MoveLabel()->font(), g.TimeLabel()->font());
    for (const auto& [label, text] : {std::pair{g.TimeLabel(), QStringLiteral("23:59:59")},
                                      std::pair{g.MoveLabel(), QStringLiteral("99999")}})
        QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width(),
                 qPrintable(text));
    QVERIFY(f.TreeMatchesBoard());
    QVERIFY(g.Session().CurrentBoard().IsSolved());
    QCOMPARE(g.Tile(2)->size(), QSize(51, 51));
    QCOMPARE(g.Tile(1)->size(), QSize(48, 48));
    for (int k = 1; k <= 15; ++k)
        QCOMPARE(g.Tile(k)->dragMode(), int(TileWidget::Automatic));
    QVERIFY(!g.Timer(0)->isActive());
    QCOMPARE(g.Timer(0)->interval(), 100);
    QVERIFY(g.Timer(1)->isActive());
    QCOMPARE(g.Timer(1)->interval(), 10000);
    QVERIFY(!g.Timer(2)->isActive());
    QCOMPARE(g.Session().Chip(), 0);
}

void TestFrmGame::menusAsTheMenuBarHoldsThem_data() {
    QTest::addColumn<QList<int>>("path"); // positions from the menu bar down
    QTest::addColumn<int>("siblings");    // entries of the menu the item stands in
    QTest::addColumn<QString>("array");   // the control array the handler knows it by
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("mnuMain 0") << QList<int>{0} << 2 << "main" << 0 << "&Игра";
    const char* game[] = {"&Новая игра", "-", "Сдвиг &фишки",  "-", "Под&сказка",
                          "Ру&башка...", "-", "&Мастер ходов", "-", "Вы&ход"};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("mnuGame %d", i)
            << QList<int>{0, i} << 10 << "game" << i << QString::fromUtf8(game[i]);
    QTest::newRow("mnuDrag 0") << QList<int>{0, 2, 0} << 2 << "drag" << 0 << "По &клику";
    QTest::newRow("mnuDrag 1") << QList<int>{0, 2, 1} << 2 << "drag" << 1 << "&Перетаскиванием";
    QTest::newRow("mnuMain 1") << QList<int>{1} << 2 << "main" << 1 << "&Справка";
    QTest::newRow("mnuF1 0") << QList<int>{1, 0} << 3 << "f1" << 0 << "&Вызов справки";
    QTest::newRow("mnuF1 1") << QList<int>{1, 1} << 3 << "f1" << 1 << "-";
    QTest::newRow("mnuF1 2") << QList<int>{1, 2} << 3 << "f1" << 2 << "О &программе";
}

void TestFrmGame::menusAsTheMenuBarHoldsThem() {
    QFETCH(QList<int>, path);
    QFETCH(int, siblings);
    QFETCH(QString, array);
    QFETCH(int, index);
    QFETCH(QString, text);
    GameFixture f;
    // Down the menus as the player opens them.
    QList<QAction*> level = f.game->menuBar()->actions();
    QAction* item = nullptr;
    for (int position : path) {
        if (item)
            level = item->menu() ? item->menu()->actions() : QList<QAction*>{};
        QVERIFY(level.size() > position);
        item = level.at(position);
    }
    QCOMPARE(level.size(), siblings);
    // It is the item the window's handler receives with this index.
    QAction* known = array == "main"   ? f.game->MainItem(index)
                     : array == "game" ? f.game->GameItem(index)
                     : array == "drag" ? f.game->DragItem(index)
                                       : f.game->HelpItem(index);
    QCOMPARE(item, known);
    QCOMPARE(item->isSeparator(), text == "-");
    if (item->isSeparator()) {
        QCOMPARE(item->property("caption").toString(), text); // the stored caption stays
        QVERIFY(item->text().isEmpty());                      // nothing is printed in the menu
    } else {
        QCOMPARE(item->text(), text);
    }
}

void TestFrmGame::windowIsFixedAndHasNoMaximizeButton() {
    GameFixture f;
    f.game->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.game.get()));
    QCOMPARE(f.game->centralWidget()->size(), QSize(247, 350));
    QCOMPARE(f.game->minimumSize(), f.game->maximumSize());
    QCOMPARE(f.game->height(), 350 + f.game->menuBar()->height());
    const Qt::WindowFlags flags = f.game->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    // A maximise or full-screen request from outside (a title bar Qt draws itself offers the
    // button anyway, a compositor may send one) leaves the window as it was; a resizable
    // window beside it is maximised, so the platform does carry out such requests.
    const QRect placed = f.game->geometry();
    QWidget resizable;
    resizable.show();
    for (const Qt::WindowState large : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
        f.game->setWindowState(large);
        resizable.setWindowState(large);
        QTRY_COMPARE(f.game->windowState(), Qt::WindowNoState);
        QCOMPARE(f.game->geometry(), placed);
        QCOMPARE(resizable.windowState(), large);
        resizable.setWindowState(Qt::WindowNoState);
    }
    // The board cells sit where the layout puts them, 8 pixels apart.
    QCOMPARE(f.game->Cell(1)->mapTo(f.game->centralWidget(), QPoint(0, 0)), QPoint(16, 16));
    QCOMPARE(f.game->Cell(16)->mapTo(f.game->centralWidget(), QPoint(0, 0)), QPoint(184, 184));
    QCOMPARE(f.game->Cell(16)->size(), QSize(48, 48));
    QWidget* client = f.game->centralWidget();
    QCOMPARE(f.game->TimeLabel()->mapTo(client, QPoint(0, 0)), QPoint(120, 312));
    QCOMPARE(f.game->MoveLabel()->mapTo(client, QPoint(0, 0)), QPoint(120, 328));
    QCOMPARE(f.game->TimeLabel()->mapTo(client, QPoint(f.game->TimeLabel()->width() - 1, 0)).x(),
             246);
}

void TestFrmGame::firstNewGameShowsAndDealsBoard() {
    GameFixture f;
    frmGame& g = *f.game;
    QVERIFY(g.Tile(5)->picture().isNull());
    // Picture 9 chosen before the first game dresses the hidden board ...
    OnNextModal([](QWidget* chooser) {
        QTest::mouseClick(chooser->findChild<QWidget*>(QStringLiteral("img_9")), Qt::LeftButton);
        QTest::mouseClick(chooser->findChild<QWidget*>(QStringLiteral("cmd_0")), Qt::LeftButton);
    });
    g.mnuGame_Click(5);
    const QImage ninth =
        QImage(QStringLiteral(":/shirts/shirt09.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(g.Tile(5)->picture().toImage().convertToFormat(QImage::Format_ARGB32), ninth);
    g.SetTilePicture(0, QPixmap()); // no tile: ignored
    // ... and the first game replaces it by picture 0 on every tile.
    f.DealWithFreeCell(7);
    QVERIFY(!g.BoardFrame()->isHidden());
    QVERIFY(g.Session().Started());
    QVERIFY(g.GameItem(7)->isEnabled());
    QCOMPARE(int(g.Session().GetFreeCell()), 7);
    QVERIFY(f.TreeMatchesBoard());
    const QImage first(QStringLiteral(":/shirts/shirt00.png"));
    for (int k = 1; k <= 15; ++k) {
        QCOMPARE(g.Tile(k)->picture().toImage().convertToFormat(QImage::Format_ARGB32),
                 first.convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(g.Tile(k)->printedTexts(), QStringList{kNumberTexts[k]});
    }
    QCOMPARE(g.Tile(2)->size(), QSize(51, 51)); // keeps its own size
    QCOMPARE(g.Tile(4)->size(), QSize(48, 48));
}

void TestFrmGame::laterNewGamesKeepPicturesAndResetNothingElse() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(7);
    const QPixmap other(QStringLiteral(":/shirts/shirt09.png"));
    for (int k = 1; k <= 15; ++k)
        g.SetTilePicture(k, other);
    g.PaintNumbers();
    g.mnuDrag_Click(0);
    g.mnuGame_Click(4);
    f.DealWithFreeCell(1);
    QCOMPARE(int(g.Session().GetFreeCell()), 1);
    QVERIFY(g.DragItem(0)->isChecked());
    QVERIFY(g.GameItem(4)->isChecked());
    for (int k = 1; k <= 15; ++k) {
        QCOMPARE(g.Tile(k)->picture().cacheKey(), other.cacheKey());
        QCOMPARE(g.Tile(k)->printedTexts().size(), 1);
    }
}

void TestFrmGame::everySignalReachesItsHandler() {
    // The handlers are called directly everywhere else; here each control's own signal is
    // fired once, and the remembered tile shows that the handler ran for that index.
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    for (int k = 1; k <= 15; ++k) {
        TileWidget* tile = g.Tile(k);
        QCOMPARE(tile->index(), k); // the index its signals carry
        emit tile->DragOver(k);
        QCOMPARE(g.Session().Chip(), k);
        emit tile->DragDrop(k);
        QCOMPARE(g.Session().Chip(), 0);
        g.Session().pC_DragOver(k);
        emit tile->DragEnded(k);
        QCOMPARE(g.Session().Chip(), 0);
        g.Session().pC_DragOver(1); // tile 1 cannot move: the click only forgets it
        emit tile->Click(k);
        QCOMPARE(g.Session().Chip(), 0);
    }
    QVERIFY(g.Session().CurrentBoard() ==
            BoardWithCells({2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    for (int cell = 1; cell <= 16; ++cell) {
        QCOMPARE(g.Cell(cell)->index(), cell);
        g.Session().pC_DragOver(1);
        emit g.Cell(cell)->DragDrop(cell);
        QCOMPARE(g.Session().Chip(), 0);
    }
    // Timer 1 starts timer 0, whose tick scrolls the title; timer 2 is the master's tick.
    QMetaObject::invokeMethod(g.Timer(1), "timeout");
    QVERIFY(g.Timer(0)->isActive());
    QMetaObject::invokeMethod(g.Timer(0), "timeout");
    QCOMPARE(g.windowTitle(), QStringLiteral("двигуль"));
    g.mnuGame_Click(7);
    QMetaObject::invokeMethod(g.Timer(2), "timeout");
    QCOMPARE(g.MoveLabel()->text(), QStringLiteral("1"));
    // The menu commands that open a window of their own.
    QStringList opened;
    for (QAction* item : {g.GameItem(5), g.HelpItem(2)}) {
        OnNextModal([&opened](QWidget* modal) {
            opened << QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        });
        item->trigger();
    }
    QCOMPARE(opened, (QStringList{"frmShirt", "frmAbout"}));
}

void TestFrmGame::clickWithRealMouseInClickMode() {
    GameFixture f;
    frmGame& g = *f.game;
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    f.DealWithFreeCell(16);
    g.mnuDrag_Click(0);
    QTest::mouseClick(g.Tile(11), Qt::LeftButton); // diagonal: refused
    QCOMPARE(int(g.Session().GetFreeCell()), 16);
    QTest::mouseClick(g.Tile(12), Qt::LeftButton); // above the empty cell
    QCOMPARE(int(g.Session().GetFreeCell()), 12);
    QCOMPARE(int(g.Session().CurrentBoard().CellOf(12)), 16);
    QVERIFY(f.TreeMatchesBoard());
    QTest::mouseClick(g.Tile(12), Qt::RightButton); // only the left button moves
    QCOMPARE(int(g.Session().GetFreeCell()), 12);
}

void TestFrmGame::dropCountsWhereTheButtonWasReleased_data() {
    QTest::addColumn<QPoint>("reported");
    QTest::addColumn<std::optional<QPoint>>("pointer");
    QTest::addColumn<bool>("lands");
    QTest::newRow("pointer unknown: the reported place")
        << QPoint(5, 5) << std::optional<QPoint>() << true;
    QTest::newRow("released in the cell")
        << QPoint(5, 5) << std::optional<QPoint>({20, 30}) << true;
    // A press and release on a tile after a jump from the empty cell, reported on that cell.
    QTest::newRow("released on the tile beside it")
        << QPoint(40, 24) << std::optional<QPoint>({-30, 24}) << false;
}

void TestFrmGame::dropCountsWhereTheButtonWasReleased() {
    QFETCH(QPoint, reported);
    QFETCH(std::optional<QPoint>, pointer);
    QFETCH(bool, lands);
    QCOMPARE(CellWidget::DropLandsIn(QRect(0, 0, 48, 48), reported, pointer), lands);
}

void TestFrmGame::modeMenuItemsKeepOneCheckMark() {
    // Through the menu items themselves, as the player picks them.
    GameFixture f;
    frmGame& g = *f.game;
    g.DragItem(1)->trigger(); // already checked: stays checked
    QVERIFY(g.DragItem(1)->isChecked());
    QVERIFY(!g.DragItem(0)->isChecked());
    g.DragItem(0)->trigger();
    QVERIFY(g.DragItem(0)->isChecked());
    QVERIFY(!g.DragItem(1)->isChecked());
    for (int k = 1; k <= 15; ++k)
        QCOMPARE(g.Tile(k)->dragMode(), int(TileWidget::Manual));
    // The item that already has the mark keeps it and sets every tile's mode again.
    g.Tile(4)->setDragMode(TileWidget::Automatic);
    g.DragItem(0)->trigger();
    QVERIFY(g.DragItem(0)->isChecked() && !g.DragItem(1)->isChecked());
    QCOMPARE(g.Tile(4)->dragMode(), int(TileWidget::Manual));
    g.GameItem(4)->trigger();
    QVERIFY(g.GameItem(4)->isChecked());
    g.GameItem(4)->trigger();
    QVERIFY(!g.GameItem(4)->isChecked());
}

void TestFrmGame::congratulationYesDealsAgain_data() {
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("Yes button") << false;
    QTest::newRow("Enter") << true;
}

void TestFrmGame::congratulationYesDealsAgain() {
    QFETCH(bool, byEnter);
    GameFixture f;
    frmGame& g = *f.game;
    f.DealOneFromSolved();
    g.mnuDrag_Click(0);
    g.mnuGame_Click(4);
    bool asked = false;
    AnswerNextMessageBox(byEnter ? QMessageBox::NoButton : QMessageBox::Yes, [&](QMessageBox* box) {
        asked = true;
        QCOMPARE(box->windowTitle(), QStringLiteral("Поздравляем!"));
        QCOMPARE(box->text(), QStringLiteral("Еще раз?"));
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        QCOMPARE(box->accessibleDescription(), box->text()); // what Orca 48 reads
#endif
        QCOMPARE(box->icon(), QMessageBox::Information);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()),
                 box->button(QMessageBox::Yes));
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("&Да"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("&Нет"));
        // The move is made, and the hint repainted for the solved board, before the question.
        QVERIFY(g.Session().CurrentBoard().IsSolved());
        for (int k = 1; k <= 15; ++k)
            QCOMPARE(g.Tile(k)->backColor(),
                     (k == 12 || k == 15) ? QColor(255, 255, 0) : QColor(0, 64, 0));
        // Only Yes and No answer it: Esc and a close request leave it open.
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());
        box->close();
        QVERIFY(box->isVisible());
        if (byEnter)
            QTest::keyClick(box, Qt::Key_Return);
    });
    // Yes deals a new game: script it.
    const board::Board next = BoardWithFreeCell(3);
    f.random.PushDeal(next);
    g.Session().pC_Click(15);
    QVERIFY(asked);
    QVERIFY(g.Session().CurrentBoard() == next);
    QVERIFY(f.TreeMatchesBoard());
}

void TestFrmGame::congratulationNoClosesWindow() {
    GameFixture f;
    frmGame& g = *f.game;
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    f.DealOneFromSolved();
    AnswerNextMessageBox(QMessageBox::No);
    g.Session().pC_DragOver(15);
    g.Session().P_DragDrop(15);
    g.Session().pC_DragEnded(15);
    QVERIFY(!g.isVisible());
    QVERIFY(!g.Timer(1)->isActive());
    QVERIFY(g.Session().CurrentBoard().IsSolved());
}

void TestFrmGame::exitClosesWindow() {
    GameFixture f;
    f.game->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.game.get()));
    f.DealWithFreeCell(2);
    f.game->mnuGame_Click(7);
    QVERIFY(f.game->Timer(2)->isActive());
    f.game->GameItem(9)->trigger();
    QVERIFY(!f.game->isVisible());
    QVERIFY(!f.game->Timer(2)->isActive());
}

void TestFrmGame::helpMissingSaysSo() {
    // help.txt next to the program does not count: only the working directory is searched.
    QFile besideProgram(QDir(QCoreApplication::applicationDirPath()).filePath("help.txt"));
    QVERIFY(!besideProgram.exists());
    QVERIFY(besideProgram.open(QIODevice::WriteOnly) && besideProgram.write("Справка\n") > 0);
    besideProgram.close();
    const auto removeIt = qScopeGuard([&] { besideProgram.remove(); });
    QTemporaryDir empty;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(empty.path()));
    GameFixture f;
    bool shown = false;
    AnswerNextMessageBox(QMessageBox::Ok, [&](QMessageBox* box) {
        shown = true;
        QCOMPARE(box->windowTitle(), QStringLiteral("Сдвигуль"));
        QCOMPARE(box->text(), QStringLiteral("Файл 'Help.txt' не найден"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("ОК"));
        // Where the window system draws the title bars, the box is laid out as Qt lays out
        // any message box: nothing is added to make room for the title.
        const QMessageBox plain(QMessageBox::NoIcon, box->windowTitle(), box->text(),
                                QMessageBox::Ok);
        QCOMPARE(box->layout()->count(), plain.layout()->count());
    });
    f.game->mnuF1_Click(0);
    QDir::setCurrent(previous);
    QVERIFY(shown);
    QVERIFY(!f.game->HelpWindow());
}

QTEST_MAIN(TestFrmGame)
#include "tst_frmgame.moc"
