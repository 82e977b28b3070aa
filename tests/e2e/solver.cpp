// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <queue>
#include <unordered_map>

namespace e2e {

namespace {

using Key = std::uint64_t; // four bits per cell, cell 1 in the lowest bits

Key Pack(const Position& position) {
    Key key = 0;
    for (int c = kCells - 1; c >= 0; --c)
        key = (key << 4) | static_cast<Key>(position[c]);
    return key;
}

Position Unpack(Key key) {
    Position position{};
    for (int c = 0; c < kCells; ++c, key >>= 4)
        position[c] = static_cast<int>(key & 0xF);
    return position;
}

int Row(int index) {
    return index / kSide;
}

int Column(int index) {
    return index % kSide;
}

// Two tiles of one line that both belong to it but stand in reverse order cost at least two
// more moves than their distances say; counted greedily per line, which keeps it admissible.
int LineConflicts(const Position& p, bool rows) {
    int extra = 0;
    for (int line = 0; line < kSide; ++line) {
        std::array<int, kSide> goals{};
        int count = 0;
        for (int i = 0; i < kSide; ++i) {
            const int index = rows ? line * kSide + i : i * kSide + line;
            const int tile = p[index];
            if (tile == 0)
                continue;
            const int home = tile - 1;
            if ((rows ? Row(home) : Column(home)) == line)
                goals[count++] = rows ? Column(home) : Row(home);
        }
        // Longest increasing run of goals stays; every other tile of the line must step aside.
        std::array<int, kSide> longest{};
        int best = 0;
        for (int i = 0; i < count; ++i) {
            longest[i] = 1;
            for (int j = 0; j < i; ++j)
                if (goals[j] < goals[i])
                    longest[i] = std::max(longest[i], longest[j] + 1);
            best = std::max(best, longest[i]);
        }
        extra += 2 * (count - best);
    }
    return extra;
}

int Estimate(const Position& p) {
    int distance = 0;
    for (int index = 0; index < kCells; ++index) {
        const int tile = p[index];
        if (tile == 0)
            continue;
        const int home = tile - 1;
        distance += std::abs(Row(index) - Row(home)) + std::abs(Column(index) - Column(home));
    }
    return distance + LineConflicts(p, true) + LineConflicts(p, false);
}

struct Visit {
    Key parent;
    int cost;
    int movedCell; // cell whose tile moved to reach this position; 0 at the start
};

struct Frontier {
    double priority;
    int cost;
    Key key;
    bool operator>(const Frontier& other) const { return priority > other.priority; }
};

std::vector<int> Path(const std::unordered_map<Key, Visit>& visits, Key goal) {
    std::vector<int> cells;
    for (Key key = goal; visits.at(key).movedCell != 0; key = visits.at(key).parent)
        cells.push_back(visits.at(key).movedCell);
    std::reverse(cells.begin(), cells.end());
    return cells;
}

// Weighted A*: the weight trades length for speed; nullopt when the node budget runs out.
std::optional<std::vector<int>> WeightedSearch(const Position& start, double weight,
                                               std::size_t budget) {
    const Key goal = Pack(SolvedPosition());
    std::unordered_map<Key, Visit> visits;
    std::priority_queue<Frontier, std::vector<Frontier>, std::greater<>> open;
    const Key first = Pack(start);
    visits.emplace(first, Visit{first, 0, 0});
    open.push({weight * Estimate(start), 0, first});
    while (!open.empty() && visits.size() < budget) {
        const Frontier node = open.top();
        open.pop();
        if (node.key == goal)
            return Path(visits, goal);
        if (node.cost > visits.at(node.key).cost)
            continue; // a cheaper way here was found after this entry was queued
        const Position position = Unpack(node.key);
        for (const int cell : NeighbourCells(EmptyCell(position))) {
            const Position next = AfterMove(position, cell);
            const Key key = Pack(next);
            const int cost = node.cost + 1;
            const auto seen = visits.find(key);
            if (seen != visits.end() && seen->second.cost <= cost)
                continue;
            visits[key] = Visit{node.key, cost, cell};
            open.push({cost + weight * Estimate(next), cost, key});
        }
    }
    return std::nullopt;
}

} // namespace

Position SolvedPosition() {
    Position position{};
    for (int c = 0; c < kCells - 1; ++c)
        position[c] = c + 1;
    return position;
}

bool IsWellFormed(const Position& position) {
    std::array<bool, kCells> seen{};
    for (const int tile : position) {
        if (tile < 0 || tile >= kCells || seen[tile])
            return false;
        seen[tile] = true;
    }
    return true;
}

bool IsSolvable(const Position& position) {
    if (!IsWellFormed(position))
        return false;
    int inversions = 0;
    for (int i = 0; i < kCells; ++i)
        for (int j = i + 1; j < kCells; ++j) {
            // The empty cell counts as tile 16 so that the whole board is one permutation.
            const int a = position[i] == 0 ? kCells : position[i];
            const int b = position[j] == 0 ? kCells : position[j];
            if (a > b)
                ++inversions;
        }
    const int empty = EmptyCell(position) - 1;
    const int distance = (kSide - 1 - Row(empty)) + (kSide - 1 - Column(empty));
    return inversions % 2 == distance % 2;
}

std::vector<int> NeighbourCells(int cell) {
    const int index = cell - 1;
    std::vector<int> cells;
    if (Row(index) > 0)
        cells.push_back(cell - kSide);
    if (Column(index) > 0)
        cells.push_back(cell - 1);
    if (Column(index) < kSide - 1)
        cells.push_back(cell + 1);
    if (Row(index) < kSide - 1)
        cells.push_back(cell + kSide);
    return cells;
}

int EmptyCell(const Position& position) {
    const auto it = std::find(position.begin(), position.end(), 0);
    return static_cast<int>(it - position.begin()) + 1;
}

Position AfterMove(const Position& position, int cell) {
    Position next = position;
    std::swap(next[EmptyCell(position) - 1], next[cell - 1]);
    return next;
}

std::optional<std::vector<int>> Solve(const Position& position) {
    if (!IsSolvable(position))
        return std::nullopt;
    // Light weights give short solutions for most deals; the heavier ones catch the rest fast.
    constexpr std::size_t kBudget = 400000;
    for (const double weight : {1.4, 2.0, 3.0, 6.0}) {
        if (auto path = WeightedSearch(position, weight, kBudget))
            return path;
    }
    return WeightedSearch(position, 50.0, 50 * kBudget);
}

} // namespace e2e
