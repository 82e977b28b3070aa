// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace board {

// Cells are numbered 1..16 row by row from the top left; tile k's home is cell k.
using CellNo = std::int16_t;
using TileNo = std::int16_t;

inline constexpr CellNo kCellCount = 16;
inline constexpr TileNo kTileCount = 15;

// Board geometry in twips (15 twips = 1 pixel), relative to the board frame. Rows and
// columns are read from these positions: cells of a row share Top, of a column Left.
inline constexpr int kCellSizeTwips = 720;
constexpr bool IsCell(int cell) {
    return cell >= 1 && cell <= kCellCount;
}
constexpr bool IsTile(int tile) {
    return tile >= 1 && tile <= kTileCount;
}
constexpr int CellLeft(CellNo cell) {
    return 120 + 840 * ((cell - 1) % 4);
}
constexpr int CellTop(CellNo cell) {
    return 240 + 840 * ((cell - 1) / 4);
}

// Tiles 2 and 3 are a little larger than their cell, which cuts them.
constexpr int TileSizeTwips(TileNo tile) {
    return (tile == 2 || tile == 3) ? 760 : 720;
}

// Which cell holds each tile. Starts solved: tile k in cell k, cell 16 empty.
class Board {
public:
    Board();

    // The cell that holds `tile`, or 0 for a number that is no tile.
    CellNo CellOf(TileNo tile) const;
    // The tile standing in `cell`, or 0 when the cell is empty (or no cell).
    TileNo TileAt(CellNo cell) const;

    // Puts `tile` into `cell`. Out-of-range numbers are ignored.
    void Place(TileNo tile, CellNo cell);

    // True when tiles 1..n stand in their home cells; n above 15 counts as 15, n <= 0 is true.
    bool IsPositionPart(int i_P) const;
    // The empty cell: 136 minus the cells of all tiles (1 + 2 + ... + 16 = 136).
    CellNo GetFreeCell() const;
    // True when tile i_C stands in a cell directly left, right, above or below cell i_P.
    bool IsMove(TileNo i_C, CellNo i_P) const;

    bool IsSolved() const { return IsPositionPart(kCellCount); }
    // Every tile in a valid cell and no two tiles sharing one.
    bool IsConsistent() const;

    bool operator==(const Board& other) const { return cellOfTile_ == other.cellOfTile_; }
    bool operator!=(const Board& other) const { return !(*this == other); }

private:
    std::array<CellNo, kTileCount + 1> cellOfTile_{}; // index 0 unused
};

} // namespace board
