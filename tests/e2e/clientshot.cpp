// SPDX-License-Identifier: GPL-3.0-or-later
#include "clientshot.h"

#include <cstdlib>
#include <utility>

namespace e2e {

namespace {

constexpr QRgb kBackground = qRgb(0, 64, 0);
constexpr QRgb kHint = qRgb(255, 255, 0);
constexpr int kColourTolerance = 12;
constexpr int kSameTolerance = 8;
constexpr int kFirstCellOffset = 16;
constexpr int kCellPitch = 56;
// The tiles' rounded corners let the background through; the hint recolours them, so a
// comparison of positions leaves them out.
constexpr int kCornerReach = 5;
// Everything above the status rows belongs to the board frame.
constexpr QRect kBoardArea{0, 0, 247, 306};
// Status rows: "Время:" above "Ход:", the captions from x = 80, the values from x = 120.
constexpr QRect kTimeCaption{80, 313, 40, 15};
constexpr QRect kMoveCaption{80, 330, 40, 15};
constexpr QRect kTimeValue{120, 313, 127, 15};
constexpr QRect kMoveValue{120, 330, 127, 15};
constexpr int kMinInkPixels = 4;
constexpr int kInkDistance = 60;
constexpr int kWhitish = 150;

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

bool IsInk(QRgb pixel) {
    return !Near(pixel, kBackground, kInkDistance);
}

bool IsWhitish(QRgb pixel) {
    return qRed(pixel) > kWhitish && qGreen(pixel) > kWhitish && qBlue(pixel) > kWhitish;
}

bool InCorner(int x, int y) {
    const int last = ClientShot::kCellSize - 1;
    return std::min(x, last - x) + std::min(y, last - y) < kCornerReach;
}

} // namespace

ClientShot::ClientShot(QImage client) : image_(std::move(client)) {}

QRect ClientShot::CellRect(int cell) {
    const int column = (cell - 1) % 4;
    const int row = (cell - 1) / 4;
    return {kFirstCellOffset + kCellPitch * column, kFirstCellOffset + kCellPitch * row, kCellSize,
            kCellSize};
}

QImage ClientShot::Cell(int cell) const {
    return image_.copy(CellRect(cell));
}

bool ClientShot::IsEmpty(int cell) const {
    const QRect area = CellRect(cell);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (!Near(image_.pixel(x, y), kBackground, kColourTolerance))
                return false;
    return true;
}

QList<int> ClientShot::EmptyCells() const {
    QList<int> cells;
    for (int cell = 1; cell <= kCells; ++cell)
        if (IsEmpty(cell))
            cells << cell;
    return cells;
}

int ClientShot::EmptyCell() const {
    const QList<int> cells = EmptyCells();
    return cells.size() == 1 ? cells.front() : 0;
}

bool ClientShot::BoardHidden() const {
    for (int y = kBoardArea.top(); y <= kBoardArea.bottom(); ++y)
        for (int x = kBoardArea.left(); x <= kBoardArea.right(); ++x)
            if (!Near(image_.pixel(x, y), kBackground, kColourTolerance))
                return false;
    return true;
}

bool ClientShot::IsHinted(int cell) const {
    const QRect area = CellRect(cell);
    return Near(image_.pixel(area.topLeft()), kHint, kColourTolerance) &&
           Near(image_.pixel(area.bottomRight()), kHint, kColourTolerance);
}

QList<int> ClientShot::HintedCells() const {
    QList<int> cells;
    for (int cell = 1; cell <= kCells; ++cell)
        if (IsHinted(cell))
            cells << cell;
    return cells;
}

QList<int> ClientShot::CellsWithHintColourAnywhere() const {
    QList<int> cells;
    for (int cell = 1; cell <= kCells; ++cell) {
        const QRect area = CellRect(cell);
        const QRgb corners[] = {image_.pixel(area.topLeft()), image_.pixel(area.topRight()),
                                image_.pixel(area.bottomLeft()), image_.pixel(area.bottomRight())};
        for (const QRgb corner : corners)
            if (Near(corner, kHint, kColourTolerance)) {
                cells << cell;
                break;
            }
    }
    return cells;
}

bool ClientShot::SameCell(int cell, const ClientShot& other, int otherCell) const {
    const QRect mine = CellRect(cell);
    const QRect theirs = CellRect(otherCell);
    for (int y = 0; y < kCellSize; ++y)
        for (int x = 0; x < kCellSize; ++x) {
            if (InCorner(x, y))
                continue;
            if (!Near(image_.pixel(mine.left() + x, mine.top() + y),
                      other.image_.pixel(theirs.left() + x, theirs.top() + y), kSameTolerance))
                return false;
        }
    return true;
}

bool ClientShot::SamePosition(const ClientShot& other) const {
    for (int cell = 1; cell <= kCells; ++cell)
        if (!SameCell(cell, other, cell))
            return false;
    return true;
}

bool ClientShot::IsMoveOf(const ClientShot& before, int from, int to) const {
    if (!before.IsEmpty(to) || before.IsEmpty(from) || !IsEmpty(from) ||
        !SameCell(to, before, from))
        return false;
    for (int cell = 1; cell <= kCells; ++cell)
        if (cell != from && cell != to && !SameCell(cell, before, cell))
            return false;
    return true;
}

bool ClientShot::TilesDistinct() const {
    for (int a = 1; a <= kCells; ++a)
        for (int b = a + 1; b <= kCells; ++b)
            if (!IsEmpty(a) && !IsEmpty(b) && SameCell(a, *this, b))
                return false;
    return true;
}

int ClientShot::CountPixels(const QRect& area, bool (*matches)(QRgb)) const {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (matches(image_.pixel(x, y)))
                ++count;
    return count;
}

bool ClientShot::CaptionsShown() const {
    return CountPixels(kTimeCaption, IsWhitish) >= kMinInkPixels &&
           CountPixels(kMoveCaption, IsWhitish) >= kMinInkPixels;
}

bool ClientShot::TimeValueShown() const {
    return CountPixels(kTimeValue, IsInk) >= kMinInkPixels;
}

bool ClientShot::MoveValueShown() const {
    return CountPixels(kMoveValue, IsInk) >= kMinInkPixels;
}

} // namespace e2e
