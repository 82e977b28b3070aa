// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellwidget.h"

#include "tilewidget.h"

#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QtGui/private/qguiapplication_p.h>

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

// On X11 a drag whose button goes up where it went down, after the pointer jumped onto the
// tile (a synthesized click), is now and then reported as dropped where the pointer was before
// the jump, on the empty cell. The drop is delivered while Qt handles the button's release, so
// the place Qt last saw the pointer at is where the button was released (asking the X server
// instead would give where the pointer is by the time a busy program gets here). Elsewhere
// (Wayland) the drop's place comes from the compositor, and Qt's idea of the pointer is the
// stale one.
void CellWidget::dropEvent(QDropEvent* event) {
    std::optional<QPoint> pointer;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        pointer = mapFromGlobal(QGuiApplicationPrivate::lastCursorPosition.toPoint());
    if (!IsTileDrag(event) || !DropLandsIn(rect(), event->position().toPoint(), pointer)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DragDrop(index_);
}
