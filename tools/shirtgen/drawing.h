// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small drawing helpers shared by the tile backs and the icons: a portable
// random generator, value noise, the rounded tile outline and colour mixing.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QRgb>

#include <cstdint>
#include <functional>

namespace shirtgen {

// SplitMix64. Used instead of <random> because the standard distributions may
// differ between library versions, and the pictures must come out identical.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next();
    double uniform();                        // in [0, 1)
    double uniform(double low, double high); // in [low, high)

private:
    std::uint64_t m_state;
};

// Pseudo-random value in [0, 1) fixed for a lattice point and seed.
double latticeValue(int x, int y, std::uint32_t seed);

// Smoothly interpolated lattice noise in [0, 1].
double valueNoise(double x, double y, std::uint32_t seed);

// Sum of `octaves` layers of value noise, each twice as fine and half as
// strong as the previous one, normalised back to [0, 1].
double fractalNoise(double x, double y, std::uint32_t seed, int octaves);

double smoothStep(double edge0, double edge1, double x);

// Distance from a point to the border of a rounded rectangle (negative
// inside) and the outward direction of the border nearest to it.
struct EdgeSample {
    double distance;
    QPointF outwardNormal;
};
EdgeSample roundedRectEdge(const QRectF& rect, double radius, QPointF point);

// How much a border facing `outwardNormal` is turned towards a light in the
// upper left: 1 fully lit, 0 in shadow, with a short soft step between.
double facingLight(QPointF outwardNormal);

QRgb mixRgb(QRgb from, QRgb to, double amount);
QRgb scaledRgb(QRgb colour, double factor); // factor > 1 lightens
QRgb greyRgb(int level);
int luminance(QRgb colour); // 0..255, Rec. 601 weights

// Sets every pixel of `image` to `colourAt(x, y)`.
void fillPerPixel(QImage& image, const std::function<QRgb(int x, int y)>& colourAt);

} // namespace shirtgen
