// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the game core driven by the input. Each step is one byte naming what happens,
// followed by the bytes it needs: a deal from a scripted generator, a player's click or drop
// (legal or not), a move of the master, or a look at the hint marks. After every step the
// board must still hold every tile in its own cell with exactly one cell empty.
#include "board.h"
#include "hint.h"
#include "master.h"
#include "scriptedrandom.h"
#include "shuffle.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using board::Board;
using board::CellNo;
using board::TileNo;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "board check failed: %s\n", what);
        std::abort();
    }
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ == size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A draw in [0, 1); byte 255 gives the largest float below 1, the edge the deal must bear.
    float Draw() {
        const std::uint8_t b = Byte();
        return b == 255 ? std::nextafter(1.0f, 0.0f) : static_cast<float>(b) / 256.0f;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Draws for one step: a count byte, then that many draws (0..15); the fallback takes over.
ScriptedRandom Script(Input& in) {
    ScriptedRandom random;
    for (int n = in.Byte() % 16; n > 0; --n) {
        random.Push({in.Draw()});
    }
    random.SetFallback(in.Draw());
    return random;
}

bool Adjacent(CellNo a, CellNo b) {
    const int rows = std::abs((a - 1) / 4 - (b - 1) / 4);
    const int columns = std::abs((a - 1) % 4 - (b - 1) % 4);
    return rows + columns == 1;
}

// Counted cell by cell, not through the board's own consistency test.
void CheckConsistent(const Board& b) {
    int tilesInCell[board::kCellCount + 1] = {};
    for (TileNo tile = 1; tile <= board::kTileCount; ++tile) {
        const CellNo cell = b.CellOf(tile);
        Require(board::IsCell(cell), "tile outside the board");
        Require(++tilesInCell[cell] == 1, "two tiles in one cell");
        Require(b.TileAt(cell) == tile, "TileAt disagrees with CellOf");
    }
    CellNo empty = 0;
    for (CellNo cell = 1; cell <= board::kCellCount; ++cell) {
        if (tilesInCell[cell] == 0) {
            Require(empty == 0, "more than one empty cell");
            empty = cell;
        }
    }
    Require(b.IsConsistent(), "IsConsistent says no");
    Require(b.GetFreeCell() == empty, "GetFreeCell does not name the empty cell");
    const auto marked = board::MovableTiles(b);
    for (TileNo tile = 1; tile <= board::kTileCount; ++tile) {
        Require(marked[tile] == Adjacent(b.CellOf(tile), empty), "hint marks the wrong tiles");
    }
}

// A player's move as the main window makes it: the chosen tile into the target cell when
// the target is empty and the tile borders it; anything else changes nothing.
void PlayerMove(Board& b, TileNo tile, CellNo target) {
    const Board before = b;
    const bool legal = b.TileAt(target) == 0 && b.IsMove(tile, target);
    if (legal) {
        b.Place(tile, target);
    }
    Require(legal == (board::IsTile(tile) && target == before.GetFreeCell() &&
                      Adjacent(before.CellOf(tile), target)),
            "IsMove wrong");
    Require(legal || b == before, "an illegal move changed the board");
}

void MasterStep(Board& b, board::MasterState& state, Input& in) {
    ScriptedRandom random = Script(in);
    const CellNo empty = b.GetFreeCell();
    const auto move = board::Master(b, state, random);
    if (!move) {
        Require(b.IsSolved(), "the master stopped on an unsolved board");
        return;
    }
    Require(move->to == empty && move->from == b.CellOf(move->tile) && Adjacent(move->from, empty),
            "the master made no legal move");
    b.Place(move->tile, move->to);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Board b;
    board::MasterState state;
    while (!in.Empty()) {
        switch (in.Byte() % 4) {
        case 0: {
            ScriptedRandom random = Script(in);
            const board::Deal deal = board::Random(random);
            Require(!board::IsSolvedDeal(deal), "a solved deal");
            b = board::BoardFromDeal(deal);
            break;
        }
        case 1: // a click: the tile goes to the empty cell; numbers outside 1..15 included
            PlayerMove(b, static_cast<TileNo>(static_cast<std::int8_t>(in.Byte())),
                       b.GetFreeCell());
            break;
        case 2: // a drop on any cell, also on occupied ones and on numbers that are no cell
            PlayerMove(b, static_cast<TileNo>(in.Byte() % 17), static_cast<CellNo>(in.Byte() % 18));
            break;
        default:
            MasterStep(b, state, in);
            break;
        }
        CheckConsistent(b);
    }
    return 0;
}
