// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>

namespace e2e {

// The game window's client area as seen in one screenshot, read the way a player looks at it:
// which cells hold a tile, which tiles have yellow corners, whether the status rows show text.
class ClientShot {
public:
    static constexpr int kCells = 16;
    static constexpr int kCellSize = 48;
    static constexpr QSize kClientSize{247, 350};

    ClientShot() = default;
    // `client` is the 247 × 350 client area cut out of a screenshot.
    explicit ClientShot(QImage client);

    bool IsNull() const { return image_.isNull(); }
    const QImage& Image() const { return image_; }

    // Cell k (1..16) in client coordinates: 48 × 48 from (16 + 56·column, 16 + 56·row).
    static QRect CellRect(int cell);
    QImage Cell(int cell) const;

    bool IsEmpty(int cell) const;
    QList<int> EmptyCells() const;
    // The one empty cell of a dealt board; 0 when there is not exactly one.
    int EmptyCell() const;
    // Nothing of the board shows: every cell and the gaps between them are dark green.
    bool BoardHidden() const;
    // The tile's transparent corners show the hint colour.
    bool IsHinted(int cell) const;
    QList<int> HintedCells() const;
    QList<int> CellsWithHintColourAnywhere() const;

    // Same tiles in the same cells: every cell looks the same, its corners aside (the hint
    // colours them). With one back for all tiles the painted numbers still tell tiles apart.
    bool SamePosition(const ClientShot& other) const;
    bool SameCell(int cell, const ClientShot& other, int otherCell) const;
    // This board is `before` with the tile of cell `from` slid into the empty cell `to`.
    bool IsMoveOf(const ClientShot& before, int from, int to) const;
    // No two occupied cells look alike: every tile is a different one.
    bool TilesDistinct() const;

    // Text in the status rows: the captions "Время:" and "Ход:" and the two values after them.
    bool CaptionsShown() const;
    bool TimeValueShown() const;
    bool MoveValueShown() const;

private:
    int CountPixels(const QRect& area, bool (*matches)(QRgb)) const;

    QImage image_;
};

} // namespace e2e
