// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellwidget.h"

#include "tilewidget.h"
#include "windowing.h"

#include <QDragEnterEvent>
#include <QMimeData>

CellWidget::CellWidget(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    // A tab stop, as the board's picture boxes were; the cell draws no focus mark.
    setFocusPolicy(Qt::StrongFocus);
}

namespace {
bool IsTileDrag(const QDropEvent* event) {
    return event->mimeData()->hasFormat(QString::fromLatin1(kTileMimeType));
}
} // namespace

void CellWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (IsTileDrag(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CellWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (IsTileDrag(event))
        event->acceptProposedAction();
    else
        event->ignore();
}

bool CellWidget::DropLandsIn(const QRect& cell, const QPoint& reported,
                             const std::optional<QPoint>& pointer) {
    return cell.contains(pointer ? *pointer : reported);
}

// A drop is judged where the mouse button went up, where the windowing system's own place for
// it cannot be trusted (X11 may report the place the pointer jumped from).
void CellWidget::dropEvent(QDropEvent* event) {
    std::optional<QPoint> pointer;
    if (const std::optional<QPoint> released = windowing::ReleasedPointer())
        pointer = mapFromGlobal(*released);
    if (!IsTileDrag(event) || !DropLandsIn(rect(), event->position().toPoint(), pointer)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DragDrop(index_);
}
