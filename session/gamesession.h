// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"
#include "master.h"
#include "random.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

// What the session asks of whoever shows the game when the board is solved: beep and ask
// "Еще раз?", and say whether the player answered Yes.
class WinQuestion {
public:
    virtual bool AskPlayAgain() = 0;

protected:
    ~WinQuestion() = default;
};

// One game session: the board, the tile the current click or drag acts on (`i_Chip`), the
// input mode, the hint switch, the move master with its clock and move count, the win check
// and its question. It decides everything and tells the window what to show through its
// signals; the window owns the widgets and only carries the changes out. Nothing here knows
// about widgets, so the whole game flow runs in a test on a scripted clock and generator.
class GameSession final : public QObject {
    Q_OBJECT

public:
    enum DragModes { Manual = 0, Automatic = 1 }; // click mode, drag mode

    // Runs on the system clock and a clock-seeded generator.
    explicit GameSession(WinQuestion& question, QObject* parent = nullptr);
    // Runs on the given clock and generator (tests script them); both must outlive the session.
    GameSession(WinQuestion& question, const board::Clock& clock, board::RandomSource& random,
                QObject* parent = nullptr);
    ~GameSession() override;

    // Board rules, read from the current position.
    bool IsPositionPart(int i_P) const { return board_.IsPositionPart(i_P); }
    int GetFreeCell() const { return board_.GetFreeCell(); }
    bool IsMove(int i_C, int i_P) const;

    // Moves the remembered tile into cell i_Free when the rules allow, then forgets it.
    void MoveIt(int i_Free);
    // The win check: on a solved board, ask "Еще раз?" once.
    void Game();
    // Deals a new random position.
    void Random();
    // Plays one move of the move master.
    void Master();

    // What the board's widgets report; Index is the tile or cell that reported it.
    void pC_Click(int Index);
    void pC_DragOver(int Index);
    void pC_DragDrop(int Index);
    void pC_DragEnded(int Index);
    void P_DragDrop(int Index);
    // Presses tile `tile` as the player would in the current mode: a click, or a drag onto
    // the empty cell. Nothing moves before the first deal.
    void PressTile(int tile);

    // The commands of the Game menu.
    void NewGame();
    void ToggleHint();
    void ToggleMoveMaster();
    void SetDragMode(int Index);
    // One tick of the move master's clock: time, count, move, hint, win check.
    void MasterTick();
    // The window is closing: no timer acts any more, and an open question decides nothing.
    void Stop();

    const board::Board& CurrentBoard() const { return board_; }
    const board::MasterState& MasterMemory() const { return master_; }
    int Chip() const { return i_Chip; }
    bool Started() const { return bStarted; }
    bool Congratulating() const { return congratulating_; }
    bool Stopped() const { return stopped_; }
    bool HintOn() const { return hintOn_; }
    bool MasterOn() const { return masterOn_; }
    int DragMode() const { return dragMode_; }
    // The move master's clock; it runs while the master is on.
    QTimer& MasterTimer() { return masterTimer_; }

    // Hours without a leading zero, minutes and seconds with two digits: 0:02:05.
    static QString FormatLongTime(int seconds);

signals:
    // The first deal is about to be made: the board is shown from now on.
    void FirstDeal();
    // A tile went from one cell into another.
    void TileMoved(int tile, int fromCell, int toCell);
    // The player (not the master, not a deal) moved `tile`.
    void PlayerMoved(int tile);
    // A new position was dealt.
    void Dealt();
    // The tile colours are to be painted again: movable tiles marked when `marked`.
    void HintPainted(bool marked);
    void HintSwitched(bool on);
    void MasterSwitched(bool on);
    // The mode item `mode` was picked; every tile now acts in that mode.
    void DragModeChosen(int mode);
    // One master tick: the time since the master was switched on, and its move count.
    void MasterStatus(const QString& time, const QString& moves);
    // The player answered No to "Еще раз?": the game ends.
    void QuitRequested();

private:
    void PlaceTile(board::TileNo tile, board::CellNo cell);
    QString ElapsedTime() const;

    WinQuestion& question_;
    std::unique_ptr<board::Clock> ownClock_;
    std::unique_ptr<board::RandomSource> ownRandom_;
    const board::Clock& clock_;
    board::RandomSource& random_;

    board::Board board_;
    board::MasterState master_;
    std::int16_t i_Chip = 0;
    bool bStarted = false;
    bool congratulating_ = false;
    bool stopped_ = false;
    bool hintOn_ = false;
    bool masterOn_ = false;
    int dragMode_ = Automatic;
    int masterStartSecond_ = 0; // time of day the master was switched on
    std::uint64_t masterTicks_ = 0;
    QTimer masterTimer_;
};
