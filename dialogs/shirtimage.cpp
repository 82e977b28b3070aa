// SPDX-License-Identifier: GPL-3.0-or-later
#include "shirtimage.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr int kPictureSize = 48;
constexpr qreal kDenseRatio = 2.0; // the ratio the large pictures are drawn for
} // namespace

QPixmap TileBackPicture(int k, qreal devicePixelRatio) {
    const QString base = QStringLiteral(":/shirts/shirt%1").arg(k, 2, 10, QLatin1Char('0'));
    if (!(devicePixelRatio > 1.0))
        return QPixmap(base + QStringLiteral(".png"));
    // The reader sets the device pixel ratio 2 from the "@2x" in the name.
    QPixmap dense(base + QStringLiteral("@2x.png"));
    if (dense.isNull() || devicePixelRatio == kDenseRatio)
        return dense;
    // At 1.25 or 1.5 the 96 px picture is scaled down once, smoothly, instead of the 48 px one
    // being doubled unevenly at every paint.
    const int side = static_cast<int>(std::lround(kPictureSize * devicePixelRatio));
    QPixmap fitted = dense.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(devicePixelRatio);
    return fitted;
}

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
    // A picture made for another density than this screen's is scaled smoothly, not blocky.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
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
