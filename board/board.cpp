// SPDX-License-Identifier: GPL-3.0-or-later
#include "board.h"

namespace board {

Board::Board() {
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        cellOfTile_[tile] = tile;
}

CellNo Board::CellOf(TileNo tile) const {
    // Callers ask for tile 0 when no tile is remembered; nothing asks beyond 15, but such a
    // number must not read past the table.
    return IsTile(tile) ? cellOfTile_[tile] : 0;
}

TileNo Board::TileAt(CellNo cell) const {
    if (!IsCell(cell))
        return 0;
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        if (cellOfTile_[tile] == cell)
            return tile;
    return 0;
}

void Board::Place(TileNo tile, CellNo cell) {
    if (IsTile(tile) && IsCell(cell))
        cellOfTile_[tile] = cell;
}

bool Board::IsPositionPart(int i_P) const {
    const int count = i_P > kTileCount ? kTileCount : i_P;
    for (TileNo tile = 1; tile <= count; ++tile)
        if (cellOfTile_[tile] != tile)
            return false;
    return true;
}

CellNo Board::GetFreeCell() const {
    int sum = 0;
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        sum += cellOfTile_[tile];
    return static_cast<CellNo>(136 - sum);
}

bool Board::IsMove(TileNo i_C, CellNo i_P) const {
    const CellNo from = CellOf(i_C);
    if (!IsCell(from) || !IsCell(i_P))
        return false;
    const bool sameRow = CellTop(from) == CellTop(i_P);
    const bool sameColumn = CellLeft(from) == CellLeft(i_P);
    return (sameRow && (from == i_P - 1 || from == i_P + 1)) ||
           (sameColumn && (from == i_P - 4 || from == i_P + 4));
}

bool Board::IsConsistent() const {
    std::array<bool, kCellCount + 1> used{};
    for (TileNo tile = 1; tile <= kTileCount; ++tile) {
        const CellNo cell = cellOfTile_[tile];
        // Place keeps every cell in 1..16; the range test guards the table all the same.
        if (!IsCell(cell) || used[cell])
            return false;
        used[cell] = true;
    }
    return true;
}

} // namespace board
