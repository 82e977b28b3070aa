// SPDX-License-Identifier: GPL-3.0-or-later
#include "drawing.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace shirtgen {

std::uint64_t Rng::next() {
    m_state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Rng::uniform() {
    // Top 53 bits give every representable double in [0, 1) the same chance.
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Rng::uniform(double low, double high) {
    return low + (high - low) * uniform();
}

double latticeValue(int x, int y, std::uint32_t seed) {
    // Integer hash (a variant of the "lowbias32" mixer); cheap and well spread.
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343U ^
                      static_cast<std::uint32_t>(y) * 0xD8163841U ^ seed * 0xCB1AB31FU;
    h ^= h >> 16;
    h *= 0x7FEB352DU;
    h ^= h >> 15;
    h *= 0x846CA68BU;
    h ^= h >> 16;
    return static_cast<double>(h) / 4294967296.0;
}

double smoothStep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double valueNoise(double x, double y, std::uint32_t seed) {
    const double cellX = std::floor(x);
    const double cellY = std::floor(y);
    const int ix = static_cast<int>(cellX);
    const int iy = static_cast<int>(cellY);
    const double fx = smoothStep(0.0, 1.0, x - cellX);
    const double fy = smoothStep(0.0, 1.0, y - cellY);

    const double top = latticeValue(ix, iy, seed) +
                       (latticeValue(ix + 1, iy, seed) - latticeValue(ix, iy, seed)) * fx;
    const double bottom =
        latticeValue(ix, iy + 1, seed) +
        (latticeValue(ix + 1, iy + 1, seed) - latticeValue(ix, iy + 1, seed)) * fx;
    return top + (bottom - top) * fy;
}

double fractalNoise(double x, double y, std::uint32_t seed, int octaves) {
    double sum = 0.0;
    double weight = 1.0;
    double totalWeight = 0.0;
    double frequency = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += weight *
               valueNoise(x * frequency, y * frequency, seed + static_cast<std::uint32_t>(octave));
        totalWeight += weight;
        weight *= 0.5;
        frequency *= 2.0;
    }
    return sum / totalWeight;
}

EdgeSample roundedRectEdge(const QRectF& rect, double radius, QPointF point) {
    // Fold the point into the first quadrant around the centre; the rounded
    // rectangle is then a box of half-size `inner` grown by `radius`.
    const QPointF centre = rect.center();
    const QPointF offset = point - centre;
    const double signX = offset.x() < 0.0 ? -1.0 : 1.0;
    const double signY = offset.y() < 0.0 ? -1.0 : 1.0;
    const double qx = std::abs(offset.x()) - (rect.width() / 2.0 - radius);
    const double qy = std::abs(offset.y()) - (rect.height() / 2.0 - radius);

    if (qx > 0.0 && qy > 0.0) {
        const double length = std::hypot(qx, qy);
        return {length - radius, QPointF(signX * qx / length, signY * qy / length)};
    }
    if (qx > qy)
        return {qx - radius, QPointF(signX, 0.0)};
    return {qy - radius, QPointF(0.0, signY)};
}

double facingLight(QPointF outwardNormal) {
    const double towardsLight = -(outwardNormal.x() + outwardNormal.y()) / M_SQRT2;
    return smoothStep(-0.25, 0.25, towardsLight);
}

QRgb mixRgb(QRgb from, QRgb to, double amount) {
    const auto channel = [amount](int a, int b) {
        return qRound(a + (b - a) * std::clamp(amount, 0.0, 1.0));
    };
    return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)),
                channel(qBlue(from), qBlue(to)));
}

QRgb scaledRgb(QRgb colour, double factor) {
    const auto channel = [factor](int value) {
        if (factor <= 1.0)
            return qRound(value * factor);
        // Lighten towards white so that pale colours keep their hue.
        return qRound(value + (255 - value) * (factor - 1.0));
    };
    return qRgb(std::clamp(channel(qRed(colour)), 0, 255),
                std::clamp(channel(qGreen(colour)), 0, 255),
                std::clamp(channel(qBlue(colour)), 0, 255));
}

QRgb greyRgb(int level) {
    const int clamped = std::clamp(level, 0, 255);
    return qRgb(clamped, clamped, clamped);
}

int luminance(QRgb colour) {
    return (299 * qRed(colour) + 587 * qGreen(colour) + 114 * qBlue(colour) + 500) / 1000;
}

void fillPerPixel(QImage& image, const std::function<QRgb(int x, int y)>& colourAt) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colourAt(x, y));
    }
}

} // namespace shirtgen
