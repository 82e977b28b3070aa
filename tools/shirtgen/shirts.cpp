// SPDX-License-Identifier: GPL-3.0-or-later
#include "shirts.h"

#include "drawing.h"
#include "indexedpng.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace shirtgen {
namespace {

// Large enough that the tile colour clearly shows in the corners, small
// enough that the picture still fills the square.
constexpr double cornerRadius = 7.0;

// Textured pictures get fewer palette entries: in fine detail the eye
// cannot tell, and the files stay small.
constexpr int texturedColours = 48;
constexpr int smoothColours = 255;

constexpr QRectF tileRect(0.0, 0.0, shirtSize, shirtSize);

// The pixels of a picture drawn `scale` times larger than the base size, and where they lie
// in the design. Designs are written in base pixels ("units"); at scale 1 every position
// below is exactly what the base picture has always used, so it comes out unchanged.
class Raster {
public:
    explicit Raster(int scale) : m_scale(scale) {}

    int scale() const { return m_scale; }
    int size() const { return shirtSize * m_scale; }
    // The centre of pixel (x, y) in units.
    QPointF centre(int x, int y) const { return {(x + 0.5) / m_scale, (y + 0.5) / m_scale}; }
    // A pixel's coordinate in units, on whole numbers for the base picture's pixels.
    double unit(int pixel) const { return (pixel + 0.5) / m_scale - 0.5; }

private:
    int m_scale;
};

EdgeSample tileEdge(const Raster& raster, int x, int y) {
    return roundedRectEdge(tileRect, cornerRadius, raster.centre(x, y));
}

// How far (in units) inside the tile border the centre of pixel (x, y) lies.
double depthInTile(const Raster& raster, int x, int y) {
    return -tileEdge(raster, x, y).distance;
}

bool insideTile(const Raster& raster, int x, int y) {
    return tileEdge(raster, x, y).distance <= 0.0;
}

QImage blankCanvas(const Raster& raster) {
    QImage canvas(raster.size(), raster.size(), QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    return canvas;
}

// Sets every pixel of `canvas` to `colourAt(raster, x, y)`.
template <typename ColourAt>
void fillRaster(QImage& canvas, const Raster& raster, ColourAt colourAt) {
    fillPerPixel(canvas, [&](int x, int y) { return colourAt(raster, x, y); });
}

// A painter that draws in units on a canvas of any scale.
void scaleToUnits(QPainter& painter, const Raster& raster) {
    if (raster.scale() != 1)
        painter.scale(raster.scale(), raster.scale());
}

void cutRoundedCorners(QImage& canvas, const Raster& raster) {
    for (int y = 0; y < raster.size(); ++y) {
        for (int x = 0; x < raster.size(); ++x) {
            if (!insideTile(raster, x, y))
                canvas.setPixel(x, y, qRgba(0, 0, 0, 0));
        }
    }
}

// Whether a pixel outside the tile lies within one unit of pixel (x, y).
bool touchesOutside(const Raster& raster, int x, int y) {
    const int reach = raster.scale();
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            const bool offImage = nx < 0 || ny < 0 || nx >= raster.size() || ny >= raster.size();
            if (offImage || !insideTile(raster, nx, ny))
                return true;
        }
    }
    return false;
}

// A line one unit wide along the rim of the rounded square, so it follows the
// same staircase as the transparent corners.
void drawTileOutline(QImage& canvas, const Raster& raster, QRgb colour) {
    for (int y = 0; y < raster.size(); ++y) {
        for (int x = 0; x < raster.size(); ++x) {
            if (insideTile(raster, x, y) && touchesOutside(raster, x, y))
                canvas.setPixel(x, y, colour);
        }
    }
}

// A raised edge of `width` units: lit towards the upper left, shaded towards
// the lower right, blending smoothly around the rounded corners. The blend
// across the edge is one pixel wide, whatever the scale.
QRgb bevelled(const Raster& raster, int x, int y, double width, QRgb face, QRgb light, QRgb dark) {
    const EdgeSample edge = tileEdge(raster, x, y);
    const double coverage = std::clamp((width + edge.distance) * raster.scale() + 0.5, 0.0, 1.0);
    const QRgb rim = mixRgb(dark, light, facingLight(edge.outwardNormal));
    return mixRgb(face, rim, coverage);
}

QImage flatShirt(const Raster& raster, QRgb colour) {
    QImage canvas = blankCanvas(raster);
    canvas.fill(colour);
    return canvas;
}

QImage glossyWhite(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    scaleToUnits(painter, raster);

    QLinearGradient body(0.0, 0.0, 0.0, shirtSize);
    body.setColorAt(0.0, QColor(246, 247, 250));
    body.setColorAt(1.0, QColor(196, 200, 210));
    painter.fillRect(tileRect, body);

    // The glassy reflection: a bright cap over the upper part whose lower
    // border bows down, like light caught by a curved, polished surface.
    QPainterPath sheen;
    sheen.moveTo(0.0, 0.0);
    sheen.lineTo(shirtSize, 0.0);
    sheen.lineTo(shirtSize, 17.0);
    sheen.cubicTo(34.0, 25.0, 14.0, 25.0, 0.0, 17.0);
    sheen.closeSubpath();
    QLinearGradient sheenShade(0.0, 0.0, 0.0, 24.0);
    sheenShade.setColorAt(0.0, QColor(255, 255, 255, 255));
    sheenShade.setColorAt(1.0, QColor(255, 255, 255, 170));
    painter.fillPath(sheen, sheenShade);

    // Light bouncing back up from below.
    QRadialGradient glow(QPointF(24.0, 54.0), 26.0);
    glow.setColorAt(0.0, QColor(255, 255, 255, 200));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(tileRect, glow);
    painter.end();

    drawTileOutline(canvas, raster, qRgb(0, 0, 0));
    return canvas;
}

QImage stripedWhite(const Raster& raster) {
    constexpr int stripeGrey = 184;
    // Drawn finer, a stripe shows as a groove: lighter where its upper half meets the
    // light, darker below; both halves together keep the grey of the base picture.
    constexpr int grooveContrast = 18;
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int, int y) {
        if ((y / r.scale()) % 3 != 1)
            return greyRgb(255);
        if (r.scale() == 1)
            return greyRgb(stripeGrey);
        const bool upperHalf = y % r.scale() < r.scale() / 2;
        return greyRgb(stripeGrey + (upperHalf ? grooveContrast : -grooveContrast));
    });
    drawTileOutline(canvas, raster, qRgb(0, 0, 0));
    return canvas;
}

QImage bevelledShirt(const Raster& raster, QRgb face, QRgb light, QRgb dark, double width) {
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [=](const Raster& r, int x, int y) {
        return bevelled(r, x, y, width, face, light, dark);
    });
    return canvas;
}

QImage khaki(const Raster& raster, QRgb face) {
    return bevelledShirt(raster, face, scaledRgb(face, 1.55), scaledRgb(face, 0.58), 3.5);
}

QImage whiteWithGreyBevel(const Raster& raster) {
    QImage canvas = bevelledShirt(raster, greyRgb(244), greyRgb(208), greyRgb(128), 4.0);
    // A thin darker rim keeps the white face from melting into a light tile.
    fillRaster(canvas, raster, [&canvas](const Raster& r, int x, int y) {
        const QRgb pixel = canvas.pixel(x, y);
        return depthInTile(r, x, y) < 1.0 ? scaledRgb(pixel, 0.82) : pixel;
    });
    return canvas;
}

// The grain is one pixel at every scale, so a finer raster shows finer grain; the clouds
// and the clumps of dark mineral keep their size in the design.
QImage granite(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int x, int y) {
        const double cloud = fractalNoise(r.unit(x) / 7.0, r.unit(y) / 7.0, 401, 2);
        const double grain = latticeValue(x, y, 402);
        // Mineral grains come in small clumps rather than single pixels.
        const int clumpPixels = 2 * r.scale();
        const double clump = latticeValue(x / clumpPixels, y / clumpPixels, 403);
        int level = 156 + static_cast<int>(cloud * 44.0) + static_cast<int>((grain - 0.5) * 34.0);
        if (clump < 0.10 && grain < 0.6)
            level = 72 + static_cast<int>(grain * 40.0);
        else if (grain > 0.95)
            level = 236;
        else if (grain < 0.07)
            level = 104;
        // A faint warm or cool cast per grain, as real stone has.
        const int tint = static_cast<int>((latticeValue(x, y, 404) - 0.5) * 8.0);
        return qRgb(std::clamp(level + tint, 0, 255), std::clamp(level, 0, 255),
                    std::clamp(level - tint, 0, 255));
    });
    return canvas;
}

QImage greenFelt(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    canvas.fill(qRgb(128, 176, 112));

    // Short fibres lying every which way, some lighter and some darker.
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    scaleToUnits(painter, raster);
    Rng rng(5005);
    const QColor darkFibre(72, 124, 62);
    const QColor lightFibre(186, 222, 166);
    for (int fibre = 0; fibre < 900; ++fibre) {
        const QPointF start(rng.uniform(-3.0, shirtSize + 3.0), rng.uniform(-3.0, shirtSize + 3.0));
        const double angle = rng.uniform(0.0, 2.0 * M_PI);
        const double length = rng.uniform(1.5, 4.5);
        const QPointF end = start + QPointF(std::cos(angle), std::sin(angle)) * length;
        const double shade = rng.uniform();
        QColor colour = shade < 0.5 ? darkFibre : lightFibre;
        colour.setAlpha(static_cast<int>(40 + 90 * std::abs(shade - 0.5) * 2.0));
        painter.setPen(QPen(colour, 0.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(start, end);
    }
    return canvas;
}

// One feathery ice needle: a stem with side needles at sixty degrees, each
// shorter the further out along the stem it grows.
void drawFrostNeedle(QPainter& painter, QPointF from, double angle, double length, int generation,
                     Rng& rng) {
    const QPointF direction(std::cos(angle), std::sin(angle));
    const QPointF to = from + direction * length;
    const double width = generation >= 2 ? 1.3 : (generation == 1 ? 1.0 : 0.7);

    // A faint blue shadow under each needle lifts it off the pale ground.
    painter.setPen(QPen(QColor(120, 160, 205, 110), width, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from + QPointF(0.6, 0.8), to + QPointF(0.6, 0.8));
    painter.setPen(QPen(QColor(255, 255, 255, 235), width, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from, to);

    if (generation == 0)
        return;
    for (double along = 2.5; along < length - 1.5; along += rng.uniform(2.5, 4.0)) {
        const double sideLength = (length - along) * rng.uniform(0.35, 0.55);
        if (sideLength < 1.5)
            break;
        for (const double side : {-1.0, 1.0}) {
            const double sideAngle =
                angle + side * qDegreesToRadians(60.0 + rng.uniform(-8.0, 8.0));
            drawFrostNeedle(painter, from + direction * along, sideAngle, sideLength,
                            generation - 1, rng);
        }
    }
}

QImage frost(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    scaleToUnits(painter, raster);

    QLinearGradient ground(0.0, 0.0, shirtSize, shirtSize);
    ground.setColorAt(0.0, QColor(190, 218, 242));
    ground.setColorAt(1.0, QColor(214, 232, 248));
    painter.fillRect(tileRect, ground);

    // Frost creeps in from the edges of a cold pane, so the needles start there.
    struct Seed {
        QPointF start;
        double angleDegrees;
        double length;
    };
    const std::array<Seed, 7> seeds{{
        {{0.0, 6.0}, 25.0, 22.0},
        {{6.0, 48.0}, -55.0, 20.0},
        {{48.0, 40.0}, 205.0, 22.0},
        {{40.0, 0.0}, 115.0, 18.0},
        {{48.0, 12.0}, 160.0, 14.0},
        {{22.0, 48.0}, -100.0, 13.0},
        {{0.0, 30.0}, -10.0, 14.0},
    }};
    Rng rng(8008);
    for (const Seed& seed : seeds)
        drawFrostNeedle(painter, seed.start, qDegreesToRadians(seed.angleDegrees), seed.length, 2,
                        rng);
    return canvas;
}

QImage marble(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int px, int py) {
        const double x = r.unit(px);
        const double y = r.unit(py);
        const double cloud = fractalNoise(x / 9.0, y / 9.0, 901, 3);
        const QRgb ground = scaledRgb(qRgb(212, 214, 218), 0.92 + cloud * 0.2);

        // Veins follow the zero lines of a sine wave bent by turbulence; the
        // wide soft falloff keeps them continuous at this small size.
        const double turbulence = fractalNoise(x / 14.0, y / 14.0, 902, 3);
        const double mainPhase = (x * 0.8 + y * 0.5) / 19.0 + turbulence * 1.3;
        const double mainVein = 1.0 - smoothStep(0.03, 0.24, std::abs(std::sin(mainPhase * M_PI)));
        const double fineTurbulence = fractalNoise(x / 8.0, y / 8.0, 903, 3);
        const double finePhase = (-x * 0.4 + y * 0.9) / 21.0 + fineTurbulence * 1.6;
        const double fineVein = 1.0 - smoothStep(0.02, 0.18, std::abs(std::sin(finePhase * M_PI)));

        const QRgb withFine = mixRgb(ground, qRgb(150, 152, 158), fineVein * 0.7);
        return mixRgb(withFine, qRgb(66, 68, 76), mainVein * 0.8);
    });
    return canvas;
}

// Mottled old paper; its grain is one pixel at every scale.
QRgb parchmentAt(const Raster& raster, int x, int y, QRgb tone, std::uint32_t seed) {
    const double mottle = fractalNoise(raster.unit(x) / 7.0, raster.unit(y) / 7.0, seed, 3) - 0.5;
    const double grain = latticeValue(x, y, seed + 17) - 0.5;
    // Old paper darkens towards its edges.
    const double burn = 1.0 - smoothStep(0.0, 10.0, depthInTile(raster, x, y));
    return scaledRgb(tone, 1.0 + mottle * 0.16 + grain * 0.05 - burn * 0.14);
}

constexpr QRgb goldShade = qRgb(138, 98, 24);
constexpr QRgb goldBright = qRgb(252, 226, 128);

// Polished gold across a band: bright along the middle, the upper-left
// side catching the light and the lower-right in shade.
QRgb goldAt(const EdgeSample& edge, double bandMiddle, double bandHalfWidth) {
    const double lit = facingLight(edge.outwardNormal);
    const double acrossBand = std::abs(-edge.distance - bandMiddle) / bandHalfWidth;
    const double shine = (1.0 - acrossBand) * (0.35 + 0.65 * lit);
    return mixRgb(goldShade, goldBright, 0.25 + 0.75 * shine);
}

QImage parchmentWithBroadFrame(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int x, int y) {
        const EdgeSample edge = tileEdge(r, x, y);
        const double depth = -edge.distance;
        const QRgb edgeLine = qRgb(104, 72, 20);
        if (depth < 1.0 || (depth >= 5.0 && depth < 6.0))
            return edgeLine;
        if (depth < 5.0)
            return goldAt(edge, 3.0, 2.0);
        return parchmentAt(r, x, y, qRgb(246, 238, 208), 1201);
    });
    return canvas;
}

// Small cut-gold lozenges at the inner corners and along the middle of each
// side; the upper-left facets catch the light.
std::optional<QRgb> ornamentAt(const Raster& raster, int x, int y) {
    const std::array<QPointF, 8> centres{{
        {9.5, 9.5},
        {38.5, 9.5},
        {9.5, 38.5},
        {38.5, 38.5},
        {24.0, 4.0},
        {24.0, 44.0},
        {4.0, 24.0},
        {44.0, 24.0},
    }};
    const QPointF pixel = raster.centre(x, y);
    for (const QPointF& centre : centres) {
        const QPointF offset = pixel - centre;
        if (std::abs(offset.x()) + std::abs(offset.y()) <= 2.6)
            return offset.x() + offset.y() < 0.0 ? goldBright : mixRgb(goldShade, goldBright, 0.55);
    }
    return std::nullopt;
}

QImage parchmentWithDoubleFrame(const Raster& raster) {
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int x, int y) {
        const EdgeSample edge = tileEdge(r, x, y);
        const double depth = -edge.distance;
        if (const auto ornament = ornamentAt(r, x, y))
            return *ornament;
        if (depth >= 1.5 && depth < 3.0)
            return goldAt(edge, 2.25, 1.0);
        if (depth >= 5.5 && depth < 6.5)
            return qRgb(176, 132, 40);
        return parchmentAt(r, x, y, qRgb(222, 190, 134), 1301);
    });
    return canvas;
}

QImage blackToWhite(const Raster& raster) {
    // Eased rather than straight: the middle, where the number stands, is a little lighter
    // than halfway grey, so the black number reads as well as on the other pictures.
    constexpr double easing = 0.8;
    QImage canvas = blankCanvas(raster);
    fillRaster(canvas, raster, [](const Raster& r, int x, int) {
        const double along = std::clamp(r.unit(x) / (shirtSize - 1), 0.0, 1.0);
        return greyRgb(qRound(255.0 * std::pow(along, easing)));
    });
    return canvas;
}

struct ShirtDesign {
    QImage (*draw)(const Raster&);
    int maxColours; // in the base picture, whose palette is our own
};

const std::array<ShirtDesign, shirtCount>& designs() {
    static const std::array<ShirtDesign, shirtCount> all{{
        {glossyWhite, smoothColours},
        {stripedWhite, smoothColours},
        {[](const Raster& r) { return khaki(r, qRgb(222, 206, 150)); }, smoothColours},
        {[](const Raster& r) { return khaki(r, qRgb(178, 168, 108)); }, smoothColours},
        {granite, texturedColours},
        {greenFelt, texturedColours},
        {whiteWithGreyBevel, smoothColours},
        {[](const Raster& r) { return flatShirt(r, qRgb(196, 212, 192)); }, smoothColours},
        {frost, texturedColours},
        {marble, texturedColours},
        {[](const Raster& r) { return flatShirt(r, qRgb(255, 255, 200)); }, smoothColours},
        {[](const Raster& r) { return flatShirt(r, qRgb(248, 230, 150)); }, smoothColours},
        {parchmentWithBroadFrame, texturedColours},
        {parchmentWithDoubleFrame, texturedColours},
        {blackToWhite, smoothColours},
    }};
    return all;
}

const ShirtDesign& design(int index) {
    return designs().at(static_cast<std::size_t>(index));
}

} // namespace

bool isInsideTile(int x, int y, int scale) {
    return insideTile(Raster(scale), x, y);
}

QImage makeShirt(int index, int scale) {
    const Raster raster(scale);
    QImage canvas = design(index).draw(raster);
    cutRoundedCorners(canvas, raster);
    if (scale == 1)
        return toIndexed(canvas, design(index).maxColours);
    return toIndexedFine(canvas);
}

QString shirtFileName(int index, int scale) {
    const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    return QStringLiteral("shirt%1%2.png").arg(index, 2, 10, QLatin1Char('0')).arg(suffix);
}

} // namespace shirtgen
