// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_frmgame.h"

#include "gamesession.h"
#include "tilebacktarget.h"
#include "windowing.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>
#include <vector>

class CellWidget;
class HelpViewer;
class QLabel;
class QTimer;
class TileWidget;

// The main window: the board's widgets, the menus, the two status labels, the title scroll
// and the boxes. The game session decides; this window connects the widgets' reports to it
// and shows what it says changed.
class frmGame : public QMainWindow, public TileBackTarget, public WinQuestion {
    Q_OBJECT

public:
    // Runs on the system clock and a clock-seeded generator.
    explicit frmGame(QWidget* parent = nullptr);
    // Runs on the given clock and generator (tests script them); both must outlive the window.
    frmGame(const board::Clock& clock, board::RandomSource& random, QWidget* parent = nullptr);
    ~frmGame() override;

    // TileBackTarget
    void SetTilePicture(int tile, const QPixmap& picture) override;
    void PaintNumbers() override;

    // WinQuestion: beeps and asks "Еще раз?" in a box only Yes or No closes.
    bool AskPlayAgain() override;

    // Event handlers; Index is the member of the control array that raised the event.
    void mnuDrag_Click(int Index);
    void mnuGame_Click(int Index);
    void mnuF1_Click(int Index);
    void tmr_Timer(int Index);

    // Read access for the tests and the dialogs.
    GameSession& Session() { return session_; }
    const GameSession& Session() const { return session_; }
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

    void ConnectSession();
    // Colours the movable tiles yellow (bPaint) or every tile dark green, then the numbers.
    void PaintPossible(bool bPaint);
    // Puts tile `tile`'s widget into cell `cell`, where the session placed the tile.
    void PlaceTile(int tile, int cell);
    void ShowBoard();
    void ShowHint(bool on);
    void ShowMaster(bool on);
    void ShowDragMode(int Index);

    void GiveTilesFirstPicture();
    void ShowTileBacks();
    void ShowHelp();
    void ShowAbout();
    void StopEverything();
    bool DragUnderWay() const;
    void ScrollTitle();
    QFont NumberFont();

    Ui::frmGame ui;

    std::array<CellWidget*, board::kCellCount + 1> P{};  // cells 1..16
    std::array<TileWidget*, board::kTileCount + 1> pC{}; // tiles 1..15
    std::array<QTimer*, 3> tmr{};
    std::array<QAction*, 2> mnuMain{};
    std::array<QAction*, 10> mnuGame{};
    std::array<QAction*, 2> mnuDrag{};
    std::array<QAction*, 3> mnuF1{};

    GameSession session_;
    ShirtChoice shirtChoice_;
    bool closing_ = false;
    bool closeAfterDrag_ = false; // a close came while a drag was under way
    bool holdingFocus_ = false;   // a focused tile is being moved into another cell
    QFont numberFont_;
    bool numberFontChosen_ = false;
    QPointer<HelpViewer> helpViewer_;
    windowing::TitleWriter titleWriter_{*this};
    std::unique_ptr<windowing::CloseRequestFilter> closeFilter_;
};
