// SPDX-License-Identifier: GPL-3.0-or-later
#include "cellwidget.h"

#include "tilewidget.h"

#include <QDragEnterEvent>
#include <QMimeData>

CellWidget::CellWidget(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
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

void CellWidget::dropEvent(QDropEvent* event) {
    if (!IsTileDrag(event)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DragDrop(index_);
}
