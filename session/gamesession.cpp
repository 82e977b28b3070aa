// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamesession.h"

#include "shuffle.h"

namespace {

constexpr int kMasterIntervalMs = 100;
constexpr int kSecondsPerDay = 24 * 60 * 60;

} // namespace

GameSession::GameSession(WinQuestion& question, QObject* parent)
    : QObject(parent), question_(question), ownClock_(std::make_unique<board::SystemClock>()),
      ownRandom_(std::make_unique<board::ClockMixedRandom>(*ownClock_)), clock_(*ownClock_),
      random_(*ownRandom_) {
    masterTimer_.setInterval(kMasterIntervalMs);
    connect(&masterTimer_, &QTimer::timeout, this, &GameSession::MasterTick);
}

GameSession::GameSession(WinQuestion& question, const board::Clock& clock,
                         board::RandomSource& random, QObject* parent)
    : QObject(parent), question_(question), clock_(clock), random_(random) {
    masterTimer_.setInterval(kMasterIntervalMs);
    connect(&masterTimer_, &QTimer::timeout, this, &GameSession::MasterTick);
}

GameSession::~GameSession() = default;

bool GameSession::IsMove(int i_C, int i_P) const {
    return board_.IsMove(static_cast<board::TileNo>(i_C), static_cast<board::CellNo>(i_P));
}

// The one way a tile moves: the board first, then whoever shows it.
void GameSession::PlaceTile(board::TileNo tile, board::CellNo cell) {
    const board::CellNo from = board_.CellOf(tile);
    board_.Place(tile, cell);
    emit TileMoved(tile, from, cell);
}

// ---------------------------------------------------------------- moves

void GameSession::MoveIt(int i_Free) {
    if (IsMove(i_Chip, i_Free)) {
        PlaceTile(i_Chip, static_cast<board::CellNo>(i_Free));
        emit PlayerMoved(i_Chip);
        if (hintOn_)
            emit HintPainted(true);
        Game();
    }
    i_Chip = 0;
}

void GameSession::pC_Click(int Index) {
    if (i_Chip == 0)
        i_Chip = static_cast<std::int16_t>(Index);
    MoveIt(GetFreeCell());
}

void GameSession::pC_DragOver(int Index) {
    if (i_Chip == 0)
        i_Chip = static_cast<std::int16_t>(Index);
}

void GameSession::pC_DragDrop(int) {
    i_Chip = 0;
}

void GameSession::pC_DragEnded(int) {
    // A drag that ended outside the cells and tiles must not leave its tile remembered for
    // the next drag or click; after a drop the tile was forgotten already.
    i_Chip = 0;
}

void GameSession::P_DragDrop(int Index) {
    // Only the empty cell is uncovered; a drop reported on an occupied cell is no move.
    if (board_.TileAt(static_cast<board::CellNo>(Index)) != 0) {
        i_Chip = 0;
        return;
    }
    MoveIt(Index);
}

void GameSession::PressTile(int tile) {
    if (!bStarted || !board::IsTile(tile))
        return;
    if (dragMode_ == Manual) {
        pC_Click(tile);
        return;
    }
    // The tile is picked up, dropped on the empty cell and the drag ends, as a mouse drag does.
    pC_DragOver(tile);
    P_DragDrop(GetFreeCell());
    pC_DragEnded(tile);
}

void GameSession::SetDragMode(int Index) {
    // The menu reports only its two items; the bounds test keeps the mode valid all the same.
    if (Index != Manual && Index != Automatic)
        return;
    dragMode_ = Index;
    emit DragModeChosen(Index);
}

// ---------------------------------------------------------------- win check

void GameSession::Game() {
    if (!IsPositionPart(16))
        return;
    if (congratulating_)
        return; // one congratulation per solved board
    congratulating_ = true;
    const bool again = question_.AskPlayAgain();
    congratulating_ = false;
    if (stopped_)
        return;
    if (again)
        NewGame();
    else
        emit QuitRequested();
}

// ---------------------------------------------------------------- shuffle and master

void GameSession::Random() {
    const board::Deal deal = board::Random(random_);
    for (board::TileNo tile = 1; tile <= board::kTileCount; ++tile)
        PlaceTile(tile, deal[tile]);
}

void GameSession::Master() {
    if (const auto move = board::Master(board_, master_, random_))
        PlaceTile(move->tile, move->to);
}

// ---------------------------------------------------------------- commands

void GameSession::NewGame() {
    if (!bStarted) {
        emit FirstDeal();
        bStarted = true;
    }
    if (masterOn_)
        ToggleMoveMaster();
    Random();
    if (hintOn_)
        emit HintPainted(true);
    emit Dealt();
}

void GameSession::ToggleHint() {
    hintOn_ = !hintOn_;
    emit HintSwitched(hintOn_);
    emit HintPainted(hintOn_);
}

void GameSession::ToggleMoveMaster() {
    masterOn_ = !masterOn_;
    emit MasterSwitched(masterOn_);
    if (masterOn_) {
        masterStartSecond_ = clock_.SecondsOfDay();
        masterTimer_.start();
    } else {
        masterTicks_ = 0;
        masterTimer_.stop();
    }
}

// ---------------------------------------------------------------- the master's clock

void GameSession::MasterTick() {
    // While the congratulation for a solved board is open, the master waits for its answer.
    if (stopped_ || congratulating_)
        return;
    const QString time = ElapsedTime();
    ++masterTicks_;
    emit MasterStatus(time, QString::number(masterTicks_));
    Master();
    if (hintOn_)
        emit HintPainted(true);
    Game();
}

QString GameSession::ElapsedTime() const {
    // A run that passes midnight keeps counting: the difference is taken modulo one day.
    const int now = clock_.SecondsOfDay();
    const int elapsed =
        ((now - masterStartSecond_) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    return FormatLongTime(elapsed);
}

QString GameSession::FormatLongTime(int seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void GameSession::Stop() {
    stopped_ = true;
    masterTimer_.stop();
}
