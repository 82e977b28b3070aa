// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"

#include <array>
#include <cstdint>
#include <string>

namespace board {

// Tile background colours as 0xRRGGBB.
inline constexpr std::uint32_t kNormalTileRgb = 0x004000; // dark green
inline constexpr std::uint32_t kHintTileRgb = 0xFFFF00;   // yellow

// Entry t is true when tile t borders the empty cell (entry 0 unused).
std::array<bool, kTileCount + 1> MovableTiles(const Board& board);

// Where a tile's number goes, in the tile's own units, and the text drawn: a blank (the sign
// place of a non-negative number) followed by the digits. One-digit numbers start at a
// quarter of the width, two-digit ones at a sixth; both a quarter of the height down.
struct NumberPlacement {
    float x = 0;
    float y = 0;
    std::string text;
};

NumberPlacement PlaceNumber(TileNo tile, float width, float height);

} // namespace board
