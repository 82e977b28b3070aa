// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_frmgame.h"

#include "board.h"
#include "master.h"
#include "random.h"
#include "tilebacktarget.h"
#include "windowing.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CellWidget;
class HelpViewer;
class QLabel;
class QTimer;
class TileWidget;

// The main window: the board, the menus, the two status labels and the three timers. All
// game operations are its methods; the board core decides, and this window carries out the
// decisions on its widgets.
class frmGame : public QMainWindow, public TileBackTarget {
    Q_OBJECT

public:
    // Runs on the system clock and a clock-seeded generator.
    explicit frmGame(QWidget* parent = nullptr);
    // Runs on the given clock and generator (tests script them); both must outlive the window.
    frmGame(const board::Clock& clock, board::RandomSource& random, QWidget* parent = nullptr);
    ~frmGame() override;

    // Board rules, read from the current position.
    bool IsPositionPart(int i_P) const { return board_.IsPositionPart(i_P); }
    int GetFreeCell() const { return board_.GetFreeCell(); }
    bool IsMove(int i_C, int i_P) const;

    // Moves the remembered tile into cell i_Free when the rules allow, then forgets it.
    void MoveIt(int i_Free);
    // The win check: on a solved board, beep and ask "Еще раз?".
    void Game();
    // Deals a new random position.
    void Random();
    // Plays one move of the move master.
    void Master();
    // Colours the movable tiles yellow (bPaint) or every tile dark green, then the numbers.
    void PaintPossible(bool bPaint);

    // TileBackTarget
    void SetTilePicture(int tile, const QPixmap& picture) override;
    void PaintNumbers() override;

    // Event handlers; Index is the member of the control array that raised the event.
    void pC_Click(int Index);
    void pC_DragOver(int Index);
    void pC_DragDrop(int Index);
    void pC_DragEnded(int Index);
    void P_DragDrop(int Index);
    void mnuDrag_Click(int Index);
    void mnuGame_Click(int Index);
    void mnuF1_Click(int Index);
    void tmr_Timer(int Index);

    // Read access for the tests and the dialogs.
    const board::Board& CurrentBoard() const { return board_; }
    const board::MasterState& MasterMemory() const { return master_; }
    int Chip() const { return i_Chip; }
    bool Started() const { return bStarted; }
    bool Congratulating() const { return congratulating_; }
    TileWidget* Tile(int k) const { return pC.at(k); }
    CellWidget* Cell(int k) const { return P.at(k); }
    QWidget* BoardFrame() const { return ui.Frame_0; }
    QAction* MainItem(int i) const { return mnuMain.at(i); }
    QAction* GameItem(int i) const { return mnuGame.at(i); }
    QAction* DragItem(int i) const { return mnuDrag.at(i); }
    QAction* HelpItem(int i) const { return mnuF1.at(i); }
    QTimer* Timer(int i) const { return tmr.at(i); }
    QLabel* TimeLabel() const { return ui.lblTime; }
    QLabel* MoveLabel() const { return ui.lblHod; }
    HelpViewer* HelpWindow() const;
    // The tag text the title scroll refills the caption from.
    QString TitleTag() const;
    // The board's tab stops in their order: the cells, then the tiles.
    std::vector<QWidget*> FocusOrder() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private slots:
    // The window manager asked to close the window while a modal box blocks it.
    void CloseWhileBlocked();

private:
    void Form_Load();
    void CollectControls();
    void FitStatusLabels();
    void ConnectControls();
    template <std::size_t N>
    void ConnectMenu(const std::array<QAction*, N>& menu, void (frmGame::*handler)(int));
    template <std::size_t N> void GetMenuCaption(std::array<QAction*, N>& menu);

    // The one way a tile moves: the board core first, then the widget into its new cell.
    void PlaceTile(board::TileNo tile, board::CellNo cell);

    void NewGame();
    void GiveTilesFirstPicture();
    void ToggleHint();
    void ShowTileBacks();
    void ToggleMoveMaster();
    void ShowHelp();
    void ShowAbout();
    void StopEverything();
    void ScrollTitle();
    void MasterTick();
    void ShowElapsedTime();
    QFont NumberFont();

    Ui::frmGame ui;

    std::array<CellWidget*, board::kCellCount + 1> P{};  // cells 1..16
    std::array<TileWidget*, board::kTileCount + 1> pC{}; // tiles 1..15
    std::array<QTimer*, 3> tmr{};
    std::array<QAction*, 2> mnuMain{};
    std::array<QAction*, 10> mnuGame{};
    std::array<QAction*, 2> mnuDrag{};
    std::array<QAction*, 3> mnuF1{};

    std::unique_ptr<board::Clock> ownClock_;
    std::unique_ptr<board::RandomSource> ownRandom_;
    const board::Clock* clock_ = nullptr;
    board::RandomSource* random_ = nullptr;

    board::Board board_;
    board::MasterState master_;
    ShirtChoice shirtChoice_;
    std::int16_t i_Chip = 0;
    bool bStarted = false;
    bool congratulating_ = false;
    bool closing_ = false;
    bool holdingFocus_ = false; // a focused tile is being moved into another cell
    int masterStartSecond_ = 0; // time of day the master was switched on
    std::uint64_t masterTicks_ = 0;
    QFont numberFont_;
    bool numberFontChosen_ = false;
    QPointer<HelpViewer> helpViewer_;
    windowing::TitleWriter titleWriter_{*this};
    std::unique_ptr<windowing::CloseRequestFilter> closeFilter_;
};
