// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

// Tile back k (0..14) for a screen of `devicePixelRatio` device pixels per pixel: at ratio 1 (or
// below) the 48 × 48 picture, above it the 96 × 96 one drawn for dense screens, scaled smoothly
// to the screen's own pixels when the ratio is not 2. Each measures 48 × 48 device-independent
// pixels, so a tile or the chooser shows it in its place, one picture pixel per screen pixel.
QPixmap TileBackPicture(int k, qreal devicePixelRatio);

// A picture that reports clicks and can carry a one-pixel single-line border. Like an image
// control it always takes the size of its picture; the border adds one pixel on every side,
// so the widget grows by two pixels while its top-left corner stays where it is.
class ShirtImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap pixmap READ pixmap WRITE setPixmap)
    Q_PROPERTY(bool bordered READ isBordered WRITE setBordered)

public:
    explicit ShirtImage(QWidget* parent = nullptr);

    QPixmap pixmap() const { return m_pixmap; }
    void setPixmap(const QPixmap& pixmap);

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);

    QSize sizeHint() const override;

signals:
    // A left-button press and release, both inside the picture.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int BorderWidth() const { return m_bordered ? 1 : 0; }
    void FitToPicture();

    QPixmap m_pixmap;
    bool m_bordered = false;
    bool m_pressed = false;
};
