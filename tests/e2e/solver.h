// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <vector>

// A 4 × 4 sliding-tile position and a solver for it, so that the tests can play a dealt board
// to the end by real input.
namespace e2e {

inline constexpr int kSide = 4;
inline constexpr int kCells = kSide * kSide;

// tiles[c] is the tile (1..15) in cell c + 1, or 0 for the empty cell.
using Position = std::array<int, kCells>;

// Tile k in cell k, the empty cell last.
Position SolvedPosition();

// True when `position` holds tiles 1..15 once each and one empty cell.
bool IsWellFormed(const Position& position);

// True when moves can bring `position` to the solved one: the permutation's parity must equal
// the parity of the empty cell's distance from its home, since every move flips both.
bool IsSolvable(const Position& position);

// Cells 1..16 next to `cell` (1..16) in its row or column.
std::vector<int> NeighbourCells(int cell);

// Empty cell of `position`, 1..16.
int EmptyCell(const Position& position);

// `position` after the tile in `cell` (1..16) slid into the empty cell; the caller makes sure
// they are neighbours.
Position AfterMove(const Position& position, int cell);

// The cells (1..16) whose tiles are moved, one after the other, to solve `position`; nullopt
// for a position that cannot be solved. Not the shortest solution, but found in well under a
// second for any deal.
std::optional<std::vector<int>> Solve(const Position& position);

} // namespace e2e
