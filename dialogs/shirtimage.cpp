#include "shirtimage.h"

#include <QMouseEvent>
#include <QPainter>

// No background of its own: the transparent corners of a picture show the dialog behind it.
ShirtImage::ShirtImage(QWidget* parent) : QWidget(parent) {}

void ShirtImage::setPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    FitToPicture();
    update();
}

void ShirtImage::setBordered(bool bordered) {
    if (bordered == m_bordered)
        return;
    m_bordered = bordered;
    FitToPicture();
    update();
}

QSize ShirtImage::sizeHint() const {
    const QSize picture =
        m_pixmap.isNull() ? QSize(0, 0) : m_pixmap.deviceIndependentSize().toSize();
    return picture + QSize(2 * BorderWidth(), 2 * BorderWidth());
}

void ShirtImage::FitToPicture() {
    // Without a picture the control keeps the size its layout gave it.
    if (!m_pixmap.isNull())
        resize(sizeHint());
}

void ShirtImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_bordered) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (!m_pixmap.isNull())
        painter.drawPixmap(BorderWidth(), BorderWidth(), m_pixmap);
}

void ShirtImage::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ShirtImage::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = m_pressed;
    m_pressed = false;
    event->accept();
    if (wasPressed && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        emit clicked();
}
