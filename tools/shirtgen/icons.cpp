// SPDX-License-Identifier: GPL-3.0-or-later
#include "icons.h"

#include "drawing.h"
#include "indexedpng.h"

#include <QPainter>
#include <QPainterPath>
#include <QPoint>
#include <QPolygonF>
#include <QRadialGradient>
#include <QRect>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>

namespace shirtgen {
namespace {

// The classic sixteen-colour display palette.
namespace vga {
constexpr QRgb black = 0xFF000000;
constexpr QRgb navy = 0xFF000080;
constexpr QRgb green = 0xFF008000;
constexpr QRgb maroon = 0xFF800000;
constexpr QRgb olive = 0xFF808000;
constexpr QRgb silver = 0xFFC0C0C0;
constexpr QRgb grey = 0xFF808080;
constexpr QRgb blue = 0xFF0000FF;
constexpr QRgb lime = 0xFF00FF00;
constexpr QRgb red = 0xFFFF0000;
constexpr QRgb yellow = 0xFFFFFF00;
constexpr QRgb white = 0xFFFFFFFF;
} // namespace vga

constexpr QRgb transparent = 0x00000000;

constexpr int smoothIconColours = 128;

QImage pixelArt(int size, const std::function<QRgb(int x, int y)>& colourAt) {
    QImage canvas(size, size, QImage::Format_ARGB32);
    fillPerPixel(canvas, colourAt);
    return toIndexed(canvas, maxPixelArtColours - 1);
}

// Widths of the sloped sides of the key cap, in pixels inside the outline.
struct KeySlopes {
    int lit;    // top and left
    int shaded; // bottom and right
};

KeySlopes keySlopes(int size) {
    return size >= 32 ? KeySlopes{3, 3} : KeySlopes{1, 2};
}

// The key cap at pixel (x, y): black outline, a lit or shaded slope (the
// slopes meet along diagonals, as on a real key cap) or the silver face.
QRgb keyPixel(int x, int y, int size) {
    const int last = size - 1;
    const bool onCorner = (x == 0 || x == last) && (y == 0 || y == last);
    if (onCorner)
        return transparent;
    if (x == 0 || y == 0 || x == last || y == last)
        return vga::black;

    const KeySlopes slopes = keySlopes(size);
    // Distance into each slope as a fraction of its width; the smallest one
    // below 1 says which slope the pixel is on.
    const double top = (y - 1 + 0.5) / slopes.lit;
    const double left = (x - 1 + 0.5) / slopes.lit;
    const double bottom = (last - 1 - y + 0.5) / slopes.shaded;
    const double right = (last - 1 - x + 0.5) / slopes.shaded;
    const double nearest = std::min({top, left, bottom, right});
    if (nearest >= 1.0)
        return vga::silver;
    if (nearest == top || nearest == left)
        return vga::white;
    return vga::grey;
}

// Hand-placed sun pixels: at these sizes a computed circle and rays do not
// fall on whole pixels cleanly. R: red, Y: yellow, W: white glint, anything
// else: key face. The small sun has red rays because yellow ones would be
// lost against the light grey face at that size.
// clang-format off
constexpr const char* largeSun[] = {
    ".........YY.........",
    ".........YY.........",
    "..Y......YY......Y..",
    "...YY....YY....YY...",
    "...YY..........YY...",
    ".......RRRRRR.......",
    "......RYYYYYYR......",
    ".....RYWWYYYYYR.....",
    ".....RYWYYYYYYR.....",
    "YYYY.RYYYYYYYYR.YYYY",
    "YYYY.RYYYYYYYYR.YYYY",
    ".....RYYYYYYYYR.....",
    ".....RYYYYYYYYR.....",
    "......RYYYYYYR......",
    ".......RRRRRR.......",
    "...YY..........YY...",
    "...YY....YY....YY...",
    "..Y......YY......Y..",
    ".........YY.........",
    ".........YY.........",
};

constexpr const char* smallSun[] = {
    ".....R.....",
    ".R...R...R.",
    "..R.....R..",
    "....YYY....",
    "...YWYYY...",
    "RR.YYYYY.RR",
    "...YYYYY...",
    "....YYY....",
    "..R.....R..",
    ".R...R...R.",
    ".....R.....",
};
// clang-format on

struct PixelPattern {
    const char* const* rows;
    int side;
};

// The sun on the key face, centred on the face rather than the whole icon.
QRgb sunPixel(int x, int y, int size, QRgb background) {
    const PixelPattern sun = size >= 32
                                 ? PixelPattern{largeSun, static_cast<int>(std::size(largeSun))}
                                 : PixelPattern{smallSun, static_cast<int>(std::size(smallSun))};
    const KeySlopes slopes = keySlopes(size);
    const int faceStart = 1 + slopes.lit;
    const int faceWidth = size - 1 - slopes.shaded - faceStart;
    const int origin = faceStart + (faceWidth - sun.side) / 2;
    const int column = x - origin;
    const int row = y - origin;
    if (column < 0 || row < 0 || column >= sun.side || row >= sun.side)
        return background;

    switch (sun.rows[row][column]) {
    case 'R':
        return vga::red;
    case 'Y':
        return vga::yellow;
    case 'W':
        return vga::white;
    default:
        return background;
    }
}

QImage pixelArtProgramIcon(int size) {
    return pixelArt(size, [size](int x, int y) {
        const QRgb key = keyPixel(x, y, size);
        return key == vga::silver ? sunPixel(x, y, size, key) : key;
    });
}

void drawSun(QPainter& painter, QPointF centre, double unit) {
    const double discRadius = 5.2 * unit;

    // Rays as slim triangles, alternating long and short.
    painter.setPen(
        QPen(QColor(196, 96, 0), 0.5 * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(250, 150, 20));
    for (int ray = 0; ray < 12; ++ray) {
        const double angle = ray * M_PI / 6.0 - M_PI / 2.0;
        const QPointF along(std::cos(angle), std::sin(angle));
        const QPointF across(-along.y(), along.x());
        const double reach = (ray % 2 == 0 ? 11.2 : 9.2) * unit;
        const double baseHalfWidth = 1.5 * unit;
        const QPointF base = centre + along * (discRadius + 0.6 * unit);
        painter.drawPolygon(QPolygonF{base + across * baseHalfWidth, centre + along * reach,
                                      base - across * baseHalfWidth});
    }

    QRadialGradient disc(centre - QPointF(1.5 * unit, 1.5 * unit), discRadius * 1.4);
    disc.setColorAt(0.0, QColor(255, 252, 170));
    disc.setColorAt(0.55, QColor(255, 222, 40));
    disc.setColorAt(1.0, QColor(248, 160, 10));
    painter.setBrush(disc);
    painter.drawEllipse(centre, discRadius, discRadius);
}

QImage smoothProgramIcon(int size) {
    QImage canvas(size, size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);

    // Laid out on a 32-unit grid so every size has the same proportions.
    const double unit = size / 32.0;
    const QRectF outer(0.5 * unit, 0.5 * unit, 31.0 * unit, 31.0 * unit);
    const QRectF rim = outer.adjusted(unit, unit, -unit, -unit);
    const QRectF face = rim.adjusted(3.2 * unit, 3.0 * unit, -3.2 * unit, -3.6 * unit);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(44, 44, 48));
    painter.drawRoundedRect(outer, 3.0 * unit, 3.0 * unit);

    // The four slopes of the cap, clipped to its rounded rim.
    QPainterPath rimPath;
    rimPath.addRoundedRect(rim, 2.2 * unit, 2.2 * unit);
    painter.setClipPath(rimPath);
    const QPolygonF topSlope{rim.topLeft(), rim.topRight(), face.topRight(), face.topLeft()};
    const QPolygonF leftSlope{rim.topLeft(), face.topLeft(), face.bottomLeft(), rim.bottomLeft()};
    const QPolygonF rightSlope{rim.topRight(), rim.bottomRight(), face.bottomRight(),
                               face.topRight()};
    const QPolygonF bottomSlope{rim.bottomLeft(), face.bottomLeft(), face.bottomRight(),
                                rim.bottomRight()};
    painter.setBrush(QColor(246, 246, 246));
    painter.drawPolygon(topSlope);
    painter.setBrush(QColor(226, 226, 228));
    painter.drawPolygon(leftSlope);
    painter.setBrush(QColor(140, 140, 146));
    painter.drawPolygon(rightSlope);
    painter.setBrush(QColor(112, 112, 118));
    painter.drawPolygon(bottomSlope);
    painter.setClipping(false);

    painter.setBrush(QColor(200, 200, 205));
    painter.drawRoundedRect(face, 1.2 * unit, 1.2 * unit);

    drawSun(painter, face.center(), unit * 0.98);
    painter.end();
    // Flat shapes and a single gradient need few colours; a paletted file is
    // a fraction of the size of a full-colour one.
    return toIndexed(canvas, smoothIconColours, MaskKind::Graded);
}

// The about picture: a window with a title bar and a client area holding
// blocks in a grid with one gap, like the game board.
namespace window {
constexpr QRect outline(1, 2, 30, 28);
constexpr QRect titleBar(3, 4, 26, 6);
constexpr QRect clientArea(3, 11, 26, 17);
constexpr QPoint firstBlock(4, 12);
constexpr int blockPitch = 8; // a 7-pixel block and a 1-pixel gap
} // namespace window

// Two-pixel raised frame: light outside edges at the top and left, dark
// ones at the bottom and right.
QRgb windowFramePixel(int x, int y) {
    const QRect& box = window::outline;
    if (x == box.left() || y == box.top())
        return vga::silver;
    if (x == box.right() || y == box.bottom())
        return vga::black;
    if (x == box.left() + 1 || y == box.top() + 1)
        return vga::white;
    return vga::grey;
}

// A white caption line and three buttons, the last one (close) set apart.
QRgb titleBarPixel(int x, int y) {
    constexpr int buttonLefts[] = {15, 19, 24};
    constexpr int buttonTop = 5;
    constexpr int buttonSide = 4;
    for (const int buttonLeft : buttonLefts) {
        const QRect button(buttonLeft, buttonTop, buttonSide, buttonSide);
        if (button.contains(x, y))
            return y == button.bottom() || x == button.right() ? vga::grey : vga::silver;
    }
    if (y == 6 && x >= 5 && x <= 12)
        return vga::white;
    return vga::navy;
}

// Blocks with a dark lower-right edge, three across and two down, one slot empty.
QRgb clientPixel(int x, int y) {
    struct Block {
        QRgb face;
        QRgb edge;
    };
    constexpr Block emptySlot{vga::white, vga::white};
    constexpr Block blocks[2][3] = {
        {{vga::red, vga::maroon}, {vga::lime, vga::green}, {vga::yellow, vga::olive}},
        {{vga::blue, vga::navy}, emptySlot, {vga::red, vga::maroon}},
    };
    const int offsetX = x - window::firstBlock.x();
    const int offsetY = y - window::firstBlock.y();
    const int column = offsetX / window::blockPitch;
    const int row = offsetY / window::blockPitch;
    const int inX = offsetX % window::blockPitch;
    const int inY = offsetY % window::blockPitch;
    const int last = window::blockPitch - 1;
    if (offsetX < 0 || offsetY < 0 || column > 2 || row > 1 || inX == last || inY == last)
        return vga::white;
    const Block& block = blocks[row][column];
    return inX == last - 1 || inY == last - 1 ? block.edge : block.face;
}

QRgb aboutPixel(int x, int y) {
    const QRect inside = window::outline.adjusted(2, 2, -2, -2);
    if (!window::outline.contains(x, y))
        return transparent;
    if (!inside.contains(x, y))
        return windowFramePixel(x, y);
    if (window::titleBar.contains(x, y))
        return titleBarPixel(x, y);
    if (window::clientArea.contains(x, y))
        return clientPixel(x, y);
    return vga::silver;
}

} // namespace

QImage makeProgramIcon(int size) {
    const bool pixelArtSize = std::find(std::begin(pixelArtIconSizes), std::end(pixelArtIconSizes),
                                        size) != std::end(pixelArtIconSizes);
    return pixelArtSize ? pixelArtProgramIcon(size) : smoothProgramIcon(size);
}

QImage makeAboutPicture() {
    return pixelArt(aboutPictureSize, aboutPixel);
}

} // namespace shirtgen
