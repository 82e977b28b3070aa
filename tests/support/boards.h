// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board.h"

#include <initializer_list>

// A board from the cells of tiles 1..15, in tile order.
inline board::Board BoardWithCells(std::initializer_list<int> cells) {
    board::Board b;
    board::TileNo tile = 1;
    for (int cell : cells)
        b.Place(tile++, static_cast<board::CellNo>(cell));
    return b;
}

// The solved board with the empty cell moved to `freeCell` along its row and column, so that
// the tiles stay in reading order: tile k stands in the k-th occupied cell.
inline board::Board BoardWithFreeCell(int freeCell) {
    board::Board b;
    board::TileNo tile = 1;
    for (int cell = 1; cell <= board::kCellCount; ++cell)
        if (cell != freeCell)
            b.Place(tile++, static_cast<board::CellNo>(cell));
    return b;
}

// True when the position can be brought into order: the parity of the permutation of the 16
// cells (the empty cell counted as tile 16) equals the parity of the empty cell's distance
// from the bottom-right corner.
inline bool IsSolvable(const board::Board& b) {
    int perm[17] = {};
    for (int tile = 1; tile <= board::kTileCount; ++tile)
        perm[b.CellOf(static_cast<board::TileNo>(tile))] = tile;
    const int freeCell = b.GetFreeCell();
    perm[freeCell] = 16;
    int inversions = 0;
    for (int i = 1; i <= 16; ++i)
        for (int j = i + 1; j <= 16; ++j)
            if (perm[i] > perm[j])
                ++inversions;
    const int distance = (3 - (freeCell - 1) / 4) + (3 - (freeCell - 1) % 4);
    return (inversions % 2) == (distance % 2);
}

// Tiles in reading order around the empty cell; with cell 16 empty that would be the solved
// position, which is never dealt, so tiles 1 and 2 are swapped then.
inline board::Board DealableWithFreeCell(int freeCell) {
    board::Board b = BoardWithFreeCell(freeCell);
    if (freeCell == 16) {
        b.Place(1, 2);
        b.Place(2, 1);
    }
    return b;
}

// Tiles 1..14 home, tile 15 in cell 16: one move from solved.
inline board::Board OneFromSolved() {
    return BoardWithCells({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16});
}
