// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <optional>

// One cell of the board: a dark green square that holds a tile as its child, or none. Only
// the empty cell is uncovered, so a tile dropped on a cell is dropped on the empty cell.
class CellWidget : public QWidget {
    Q_OBJECT

public:
    explicit CellWidget(QWidget* parent = nullptr);

    void setIndex(int index) { index_ = index; }
    int index() const { return index_; }

    // Whether a drop reported at `reported` lands in `cell`: where the pointer is, when its
    // place is known, rules (all in the cell's coordinates).
    static bool DropLandsIn(const QRect& cell, const QPoint& reported,
                            const std::optional<QPoint>& pointer);

signals:
    void DragDrop(int index);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int index_ = 0;
};
