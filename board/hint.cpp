// SPDX-License-Identifier: GPL-3.0-or-later
#include "hint.h"

namespace board {

std::array<bool, kTileCount + 1> MovableTiles(const Board& board) {
    std::array<bool, kTileCount + 1> movable{};
    const CellNo freeCell = board.GetFreeCell();
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        movable[tile] = board.IsMove(tile, freeCell);
    return movable;
}

NumberPlacement PlaceNumber(TileNo tile, float width, float height) {
    NumberPlacement p;
    p.x = tile < 10 ? width / 4.0f : width / 6.0f;
    p.y = height / 4.0f;
    p.text = " " + std::to_string(tile);
    return p;
}

} // namespace board
