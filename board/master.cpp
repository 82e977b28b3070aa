// SPDX-License-Identifier: GPL-3.0-or-later
#include "master.h"

#include <cmath>

namespace board {
namespace {

int DrawIndex(RandomSource& random, int count) {
    const double r = random.Next();
    return static_cast<int>(std::floor(r * count + 1.0)) - 1;
}

// Rule 1: the tile whose home is the empty cell goes home once every lower tile is home.
std::optional<int> TileToItsHome(const Board& board, const MasterCandidates& c, CellNo f) {
    for (int pos = 0; pos < c.count; ++pos)
        if (c.list[pos] == f && board.IsPositionPart(f - 1))
            return pos;
    return std::nullopt;
}

// Rule 2: a lower-numbered tile standing right of or below the empty cell moves towards home.
std::optional<int> LowerTileBack(const Board& board, const MasterCandidates& c, CellNo f) {
    for (int pos = 0; pos < c.count; ++pos) {
        const TileNo t = c.list[pos];
        if (t < f && board.CellOf(t) > f)
            return pos;
    }
    return std::nullopt;
}

// With a generator that keeps answering the same, a redraw could never end; a uniform
// generator needs a handful of draws, so after this many the next position is taken.
constexpr int kMaxRedraws = 1000;

int RedrawAvoiding(RandomSource& random, int count, int avoided) {
    for (int attempt = 0; attempt < kMaxRedraws; ++attempt) {
        const int idx = DrawIndex(random, count);
        if (idx != avoided)
            return idx;
    }
    return (avoided + 1) % count;
}

} // namespace

MasterCandidates FindMasterCandidates(const Board& board, CellNo freeCell) {
    MasterCandidates c;
    for (TileNo tile = 1; tile <= kTileCount; ++tile) {
        if (!board.IsMove(tile, freeCell))
            continue;
        // A cell has at most four neighbours, so the list never fills up; the count test
        // only guards its bounds.
        if (board.IsPositionPart(board.CellOf(tile)))
            c.heldBack = tile;
        else if (c.count < 4)
            c.list[c.count++] = tile;
    }
    return c;
}

std::optional<TileMove> Master(const Board& board, MasterState& state, RandomSource& random) {
    const CellNo f = board.GetFreeCell();
    MasterCandidates c = FindMasterCandidates(board, f);
    if (c.count == 0)
        return std::nullopt;

    random.Reseed();
    if (c.count == 1 && c.heldBack != 0)
        c.list[c.count++] = c.heldBack;

    int idx = DrawIndex(random, c.count);
    const std::optional<int> home = TileToItsHome(board, c, f);
    if (home)
        idx = *home;

    bool skipRuleTwo = false;
    if (board.IsPositionPart(6)) {
        const int v = static_cast<int>(std::floor(static_cast<double>(random.Next()) * 10 + 1));
        skipRuleTwo = (v % 2) == 1;
    }
    if (!home && !skipRuleTwo) {
        if (const std::optional<int> back = LowerTileBack(board, c, f))
            idx = *back;
    }

    const bool takesBack = state.LastMasterTile > 0 && c.list[idx] == state.LastMasterTile &&
                           state.LastMasterCell == f;
    // A lone candidate was paired with a held-back tile above, so there are two entries at
    // least; the count test keeps the redraw from ever looping over a single one.
    if (takesBack && c.count >= 2)
        idx = RedrawAvoiding(random, c.count, idx);

    const TileMove move{c.list[idx], board.CellOf(c.list[idx]), f};
    state.LastMasterTile = move.tile;
    state.LastMasterCell = move.from;
    return move;
}

} // namespace board
