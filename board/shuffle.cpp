// SPDX-License-Identifier: GPL-3.0-or-later
#include "shuffle.h"

#include <cmath>

namespace board {

CellNo DrawCell(RandomSource& random) {
    // In double, 16 * r + 1 stays below 17 for every r < 1; in single precision the largest
    // r would round up to 17, a cell that does not exist.
    const double r = random.Next();
    return static_cast<CellNo>(std::floor(kCellCount * r + 1.0));
}

bool IsSolvedDeal(const Deal& deal) {
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        if (deal[tile] != tile)
            return false;
    return true;
}

Board BoardFromDeal(const Deal& deal) {
    Board result;
    for (TileNo tile = 1; tile <= kTileCount; ++tile)
        result.Place(tile, deal[tile]);
    return result;
}

namespace {

bool TakenBefore(const Deal& deal, TileNo tile) {
    for (TileNo earlier = 1; earlier < tile; ++earlier)
        if (deal[earlier] == deal[tile])
            return true;
    return false;
}

Deal DealOnce(RandomSource& random) {
    Deal deal{};
    for (TileNo tile = 1; tile <= kTileCount; ++tile) {
        random.Reseed();
        do {
            deal[tile] = DrawCell(random);
        } while (TakenBefore(deal, tile));
    }
    return deal;
}

} // namespace

Deal Random(RandomSource& random) {
    Deal deal = DealOnce(random);
    while (IsSolvedDeal(deal))
        deal = DealOnce(random);
    return deal;
}

} // namespace board
