// SPDX-License-Identifier: GPL-3.0-or-later
#include "tilebacks.h"

#include <QRect>

#include <cstdlib>
#include <limits>

namespace e2e {

namespace {

constexpr int kSize = 48;
// Where the tile's number is painted, in cell coordinates, with some room for the font.
constexpr QRect kNumberArea{6, 10, 35, 25};
constexpr double kMaxDistance = 6.0;
constexpr double kMinMargin = 4.0;
constexpr int kInkDifference = 90;

int ChannelDifference(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

} // namespace

TileBacks::TileBacks(const QString& sourceDir) {
    for (int k = 0; k < kCount; ++k) {
        const QString path = QStringLiteral("%1/resources/shirts/shirt%2.png")
                                 .arg(sourceDir)
                                 .arg(k, 2, 10, QLatin1Char('0'));
        QImage picture(path);
        if (picture.isNull() || picture.size() != QSize(kSize, kSize)) {
            error_ = QStringLiteral("cannot load a 48 × 48 picture from ") + path;
            pictures_.clear();
            return;
        }
        pictures_ << picture.convertToFormat(QImage::Format_ARGB32);
    }
}

double TileBacks::Distance(const QImage& cell, const QImage& picture) const {
    long long sum = 0;
    int pixels = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const QRgb expected = picture.pixel(x, y);
            if (qAlpha(expected) != 255 || kNumberArea.contains(x, y))
                continue;
            sum += ChannelDifference(cell.pixel(x, y), expected);
            ++pixels;
        }
    return pixels == 0 ? std::numeric_limits<double>::max() : double(sum) / (3.0 * pixels);
}

Recognition TileBacks::Recognise(const QImage& cell) const {
    Recognition result;
    if (cell.size() != QSize(kSize, kSize) || !IsValid())
        return result;
    double best = std::numeric_limits<double>::max();
    double second = best;
    int bestPicture = -1;
    for (int k = 0; k < kCount; ++k) {
        const double distance = Distance(cell, pictures_[k]);
        if (distance < best) {
            second = best;
            best = distance;
            bestPicture = k;
        } else if (distance < second) {
            second = distance;
        }
    }
    result.distance = best;
    result.runnerUp = second;
    if (best <= kMaxDistance && second - best >= kMinMargin)
        result.picture = bestPicture;
    return result;
}

int TileBacks::NumberInk(const QImage& cell, int picture) const {
    if (picture < 0 || picture >= pictures_.size())
        return 0;
    int ink = 0;
    for (int y = kNumberArea.top(); y <= kNumberArea.bottom(); ++y)
        for (int x = kNumberArea.left(); x <= kNumberArea.right(); ++x)
            if (ChannelDifference(cell.pixel(x, y), pictures_[picture].pixel(x, y)) >
                kInkDifference)
                ++ink;
    return ink;
}

} // namespace e2e
