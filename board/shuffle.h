// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"
#include "random.h"

#include <array>

namespace board {

// A new position: entry t is the cell drawn for tile t (entry 0 unused).
using Deal = std::array<CellNo, kTileCount + 1>;

// A cell number 1..16 from one draw, each equally likely.
CellNo DrawCell(RandomSource& random);

// Deals every tile straight into a random cell, all cells distinct, and never the solved
// position. The generator is reseeded once per tile before its first draw; a draw that hits
// a cell already taken is repeated without reseeding. No solvability test is made.
Deal Random(RandomSource& random);

// True when the deal puts every tile in its home cell.
bool IsSolvedDeal(const Deal& deal);

// The board the deal describes.
Board BoardFromDeal(const Deal& deal);

} // namespace board
