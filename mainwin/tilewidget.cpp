// SPDX-License-Identifier: GPL-3.0-or-later
#include "tilewidget.h"

#include <QAccessible>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TileWidget::TileWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    // A tab stop, as the board's picture boxes were; the tile draws no focus mark.
    setFocusPolicy(Qt::StrongFocus);
}

void TileWidget::setBackColor(const QColor& color) {
    backColor_ = color;
    wipePrintedText();
}

void TileWidget::setPicture(const QPixmap& picture) {
    picture_ = picture;
    if (!keepsOwnSize_ && !picture_.isNull())
        resize(picture_.deviceIndependentSize().toSize());
    wipePrintedText();
}

void TileWidget::wipePrintedText() {
    printed_.clear();
    scheduleRepaint();
}

TileWidget::Look TileWidget::currentLook() const {
    return Look{backColor_, picture_.cacheKey(), printed_};
}

// A recolouring is always followed by the numbers being printed again, which mostly brings a
// tile back to exactly what it showed. The check runs once the handler has finished, and only
// a tile whose look really changed is repainted: with the hint on, a move of the master
// recolours all fifteen tiles but changes only a few.
void TileWidget::scheduleRepaint() {
    if (repaintPending_)
        return;
    repaintPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintPending_ = false;
            if (!(currentLook() == shownLook_))
                update();
        },
        Qt::QueuedConnection);
}

void TileWidget::printText(const QFont& font, const QPointF& topLeft, const QString& text) {
    const PrintedText entry{font, topLeft, text};
    if (std::find(printed_.begin(), printed_.end(), entry) != printed_.end())
        return;
    printed_.push_back(entry);
    scheduleRepaint();
}

QStringList TileWidget::printedTexts() const {
    QStringList texts;
    for (const PrintedText& p : printed_)
        texts << p.text;
    return texts;
}

void TileWidget::paintEvent(QPaintEvent*) {
    shownLook_ = currentLook();
    QPainter painter(this);
    painter.fillRect(rect(), backColor_);
    // The painter draws at the screen's device pixel ratio, so the numbers are as fine as the
    // screen; a picture made for that ratio lands pixel for pixel, and one made for another
    // density is scaled smoothly rather than with uneven, doubled pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!picture_.isNull())
        painter.drawPixmap(0, 0, picture_);
    painter.setPen(palette().color(QPalette::WindowText));
    for (const PrintedText& p : printed_) {
        painter.setFont(p.font);
        const QRectF box(p.topLeft, QSizeF(width() * 2.0, height() * 2.0));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, p.text);
    }
}

void TileWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (dragMode_ == Automatic) {
        startDrag(event->position().toPoint());
        return;
    }
    pressed_ = true;
}

void TileWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (event->button() == Qt::LeftButton && wasPressed && dragMode_ == Manual &&
        rect().contains(event->position().toPoint()))
        emit Click(index_);
}

// The window handles no keys of its own. The one exception serves a player who cannot see the
// board: while a screen reader runs, Space or Enter presses the focused tile exactly as the
// reader's Press action does.
void TileWidget::keyPressEvent(QKeyEvent* event) {
    if (!QAccessible::isActive() || !IsPressKey(*event)) {
        event->ignore();
        return;
    }
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(this);
    QAccessibleActionInterface* actions = reader ? reader->actionInterface() : nullptr;
    if (actions)
        actions->doAction(QAccessibleActionInterface::pressAction());
}

bool TileWidget::IsPressKey(const QKeyEvent& event) {
    // A held key would move the tile back and forth; only its first press counts.
    if (event.isAutoRepeat() || (event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const int key = event.key();
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

void TileWidget::startDrag(const QPoint& hotSpot) {
    auto* mime = new QMimeData; // owned by the drag
    mime->setData(QString::fromLatin1(kTileMimeType), QByteArray::number(index_));
    auto* drag = new QDrag(this); // deleted by Qt when the drag ends
    drag->setMimeData(mime);
    drag->setPixmap(grab());
    drag->setHotSpot(hotSpot);
    // The drag begins with the pointer over this tile, so it is the first one passed over.
    emit DragOver(index_);
    dragging_ = true;
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    dragging_ = false;
    emit DragEnded(index_);
}

void TileWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kTileMimeType))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DragOver(index_);
}

void TileWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kTileMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TileWidget::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kTileMimeType))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DragDrop(index_);
}
