// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"
#include "random.h"

#include <array>
#include <optional>

namespace board {

// What the move master remembers between its calls. Survives new games and switching
// the master off and on.
struct MasterState {
    TileNo LastMasterTile = 0; // tile of the last master move; 0 before the first one
    CellNo LastMasterCell = 0; // the cell that tile left (the cell that became empty)
};

// The tiles that can move into the empty cell, split the way the master weighs them.
struct MasterCandidates {
    std::array<TileNo, 5> list{}; // ascending tile order; room for a held-back tile appended
    int count = 0;
    TileNo heldBack = 0; // highest movable tile that is home with all lower tiles; 0 if none
};

struct TileMove {
    TileNo tile = 0;
    CellNo from = 0;
    CellNo to = 0;
};

MasterCandidates FindMasterCandidates(const Board& board, CellNo freeCell);

// Chooses one move for the player: tile f home when all below it are (rule 1), else a lower
// tile back towards its home (rule 2, skipped by a coin on half the calls once tiles 1..6
// are home), else a random movable tile; tiles that form the solved beginning are left
// alone unless fewer than two others can move, and the last master move is never taken back.
// Records the move in `state` and returns it; the caller carries it out. Returns nothing on
// a solved board, leaving `state` unchanged.
std::optional<TileMove> Master(const Board& board, MasterState& state, RandomSource& random);

} // namespace board
