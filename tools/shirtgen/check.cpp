// SPDX-License-Identifier: GPL-3.0-or-later
#include "check.h"

#include "drawing.h"
#include "icons.h"
#include "shirts.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace shirtgen {
namespace {

// Where the game paints the tile number over a tile back.
const QRect numberArea(8, 12, 28, 21);

// PNG colour type 3: the pixels are indices into a palette.
constexpr char pngPalettedColourType = 3;
constexpr qint64 colourTypeOffset = 25; // 8-byte signature, IHDR header, size, bit depth

// Above this a file is suspiciously large for what it shows.
constexpr qint64 maxFileBytes = 8 * 1024;
constexpr qint64 maxDoubleSizeFileBytes = 16 * 1024;

// The mean colours of the look-alike pairs must differ this much in at
// least one channel so that they are told apart at a glance.
constexpr int minPairChannelDifference = 20;
// Any two tile backs must differ per pixel by this much on average.
constexpr double minMeanPixelDifference = 15.0;
// The black number must stand out: the area under it must be this light.
constexpr int minNumberAreaLuminance = 120;

// Picture 14 runs from black on the left to white on the right.
constexpr int gradientShirt = 14;

// A picture drawn at twice the size shows the same thing: its mean colour may
// differ from the base picture's only by this much in any channel.
constexpr double maxDoubleSizeMeanDifference = 4.0;
// It shows detail of its own: wherever the base picture changes colour from a
// pixel to its neighbour, at least this share of the 2 x 2 blocks standing for
// those pixels are not one colour. A copy with doubled pixels has none; edges
// that fall on whole base pixels (bevels, stripes) rightly stay uniform, so
// the share is small for the plainer designs and near 1 for the textured ones ...
constexpr double minDoubleSizeDetail = 0.05;
// ... and its corners are cut at its own resolution: at least this many 2 x 2
// blocks along the rim are partly transparent (doubled pixels give none).
constexpr int minFinerRimBlocks = 8;

class Checker {
public:
    void expect(bool condition, const QString& file, const char* what) {
        if (!condition) {
            std::printf("FAIL %s: %s\n", qPrintable(file), what);
            m_failures++;
        }
    }
    bool passed() const { return m_failures == 0; }

private:
    int m_failures = 0;
};

bool isPalettedPng(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(colourTypeOffset + 1);
    return header.size() == colourTypeOffset + 1 &&
           header.at(colourTypeOffset) == pngPalettedColourType;
}

bool hasBinaryMask(const QImage& image) {
    const QVector<QRgb> table = image.colorTable();
    const bool binary = std::all_of(table.cbegin(), table.cend(), [](QRgb entry) {
        return qAlpha(entry) == 0 || qAlpha(entry) == 255;
    });
    const bool anyTransparent =
        std::any_of(table.cbegin(), table.cend(), [](QRgb entry) { return qAlpha(entry) == 0; });
    return binary && anyTransparent;
}

bool cornersTransparent(const QImage& image) {
    const int last = image.width() - 1;
    const std::array<QPoint, 4> corners{{{0, 0}, {last, 0}, {0, last}, {last, last}}};
    return std::all_of(corners.cbegin(), corners.cend(),
                       [&image](QPoint corner) { return qAlpha(image.pixel(corner)) == 0; });
}

bool isOpaqueAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y)) == 255;
}

qint64 fileBytes(const QString& path) {
    return QFileInfo(path).size();
}

struct MeanColour {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

MeanColour meanOpaqueColour(const QImage& image) {
    MeanColour mean;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            mean.red += qRed(pixel);
            mean.green += qGreen(pixel);
            mean.blue += qBlue(pixel);
            ++count;
        }
    }
    mean.red /= count;
    mean.green /= count;
    mean.blue /= count;
    return mean;
}

double largestChannelDifference(const MeanColour& a, const MeanColour& b) {
    return std::max(
        {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

double meanPixelDifference(const QImage& a, const QImage& b) {
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y);
            const QRgb pb = b.pixel(x, y);
            sum += (std::abs(qRed(pa) - qRed(pb)) + std::abs(qGreen(pa) - qGreen(pb)) +
                    std::abs(qBlue(pa) - qBlue(pb))) /
                   3.0;
        }
    }
    return sum / (a.width() * a.height());
}

int meanLuminance(const QImage& image, const QRect& area) {
    long long sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            sum += luminance(image.pixel(x, y));
    }
    return static_cast<int>(sum / (area.width() * area.height()));
}

void checkShirt(Checker& checker, const QString& path, const QImage& image, int scale) {
    const int size = shirtSize * scale;
    const int last = size - 1;
    const int middle = size / 2;
    checker.expect(image.size() == QSize(size, size), path, "wrong size");
    checker.expect(isPalettedPng(path), path, "not stored paletted");
    checker.expect(image.format() == QImage::Format_Indexed8, path, "does not load as Indexed8");
    checker.expect(image.colorCount() <= 256, path, "more than 256 palette entries");
    checker.expect(image.hasAlphaChannel(), path, "no transparency");
    checker.expect(hasBinaryMask(image), path, "mask is not binary or has no transparent entry");
    checker.expect(cornersTransparent(image), path, "a corner pixel is not transparent");
    checker.expect(qAlpha(image.pixel(scale, scale)) == 0 &&
                       qAlpha(image.pixel(last - scale, last - scale)) == 0,
                   path, "corners are not rounded");
    checker.expect(isOpaqueAt(image, middle, middle), path, "centre is not opaque");
    checker.expect(isOpaqueAt(image, middle, 0) && isOpaqueAt(image, 0, middle) &&
                       isOpaqueAt(image, middle, last) && isOpaqueAt(image, last, middle),
                   path, "does not reach the middle of every side");
}

// Along the middle row: black at the left edge, white at the right, never darker to the right.
bool runsBlackToWhite(const QImage& image) {
    const int middle = image.height() / 2;
    int previous = -1;
    for (int x = 0; x < image.width(); ++x) {
        const int level = luminance(image.pixel(x, middle));
        if (level < previous)
            return false;
        previous = level;
    }
    return luminance(image.pixel(0, middle)) == 0 &&
           luminance(image.pixel(image.width() - 1, middle)) == 255;
}

void checkShirtSet(Checker& checker, const std::vector<QImage>& shirts) {
    checker.expect(runsBlackToWhite(shirts[gradientShirt]), shirtFileName(gradientShirt),
                   "not a gradient from black to white");
    for (int index = 0; index < shirtCount; ++index) {
        const QString name = shirtFileName(index);
        const int underNumber = meanLuminance(shirts[index], numberArea);
        std::printf("%s: area under the number has mean luminance %d\n", qPrintable(name),
                    underNumber);
        checker.expect(underNumber >= minNumberAreaLuminance, name, "too dark for a black number");

        for (int other = index + 1; other < shirtCount; ++other) {
            const double difference = meanPixelDifference(shirts[index], shirts[other]);
            checker.expect(difference >= minMeanPixelDifference,
                           name + QLatin1String(" vs ") + shirtFileName(other),
                           "pictures look too much alike");
        }
    }

    const std::array<std::pair<int, int>, 3> lookAlikes{{{2, 3}, {10, 11}, {12, 13}}};
    for (const auto& [first, second] : lookAlikes) {
        const double difference = largestChannelDifference(meanOpaqueColour(shirts[first]),
                                                           meanOpaqueColour(shirts[second]));
        std::printf("%s vs %s: mean colours differ by up to %.1f\n",
                    qPrintable(shirtFileName(first)), qPrintable(shirtFileName(second)),
                    difference);
        checker.expect(difference >= minPairChannelDifference,
                       shirtFileName(first) + QLatin1String(" vs ") + shirtFileName(second),
                       "mean colours too close");
    }
}

// How a 2 x 2 block of the larger picture compares with the pixel it stands for.
struct BlockCounts {
    int structured = 0;     // opaque blocks whose base pixel differs from a neighbour
    int detailed = 0;       // ... of which not all four pixels have one colour
    int partlyOpaque = 0;   // blocks with opaque and transparent pixels
    int maskMismatches = 0; // uniform blocks whose opacity differs from the base pixel
    int strayPartial = 0;   // partly opaque blocks away from the base picture's rim
};

// Whether base pixel (x, y) has both opaque and transparent pixels around it.
bool onRim(const QImage& base, int x, int y) {
    const bool opaque = isOpaqueAt(base, x, y);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint neighbour(x + dx, y + dy);
            const bool transparent =
                !base.rect().contains(neighbour) || qAlpha(base.pixel(neighbour)) == 0;
            if (transparent == opaque)
                return true;
        }
    }
    return false;
}

// Whether base pixel (x, y) differs in colour from an opaque pixel beside it.
bool hasStructure(const QImage& base, int x, int y) {
    const std::array<QPoint, 4> neighbours{{{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}};
    return std::any_of(neighbours.cbegin(), neighbours.cend(), [&](QPoint neighbour) {
        return base.rect().contains(neighbour) && isOpaqueAt(base, neighbour.x(), neighbour.y()) &&
               base.pixel(neighbour) != base.pixel(x, y);
    });
}

BlockCounts compareBlocks(const QImage& base, const QImage& doubled) {
    BlockCounts counts;
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            const std::array<QRgb, 4> block{
                {doubled.pixel(2 * x, 2 * y), doubled.pixel(2 * x + 1, 2 * y),
                 doubled.pixel(2 * x, 2 * y + 1), doubled.pixel(2 * x + 1, 2 * y + 1)}};
            const auto opaquePixels = std::count_if(
                block.cbegin(), block.cend(), [](QRgb pixel) { return qAlpha(pixel) == 255; });
            if (opaquePixels == 4 && hasStructure(base, x, y)) {
                ++counts.structured;
                const bool uniform =
                    std::all_of(block.cbegin(), block.cend(),
                                [&block](QRgb pixel) { return pixel == block[0]; });
                counts.detailed += uniform ? 0 : 1;
            } else if (opaquePixels > 0 && opaquePixels < 4) {
                ++counts.partlyOpaque;
                counts.strayPartial += onRim(base, x, y) ? 0 : 1;
                continue;
            }
            if ((opaquePixels == 4) != isOpaqueAt(base, x, y))
                ++counts.maskMismatches;
        }
    }
    return counts;
}

void checkDoubleSizeShirt(Checker& checker, int index, const QImage& base, const QImage& doubled) {
    const QString name = shirtFileName(index, 2);
    const BlockCounts blocks = compareBlocks(base, doubled);
    // A picture of one colour has no structure to refine; only its rim can show detail.
    const double detail =
        blocks.structured == 0 ? 1.0 : static_cast<double>(blocks.detailed) / blocks.structured;
    const double meanDifference =
        largestChannelDifference(meanOpaqueColour(base), meanOpaqueColour(doubled));
    const QRect doubledNumberArea(numberArea.topLeft() * 2, numberArea.size() * 2);
    const int underNumber = meanLuminance(doubled, doubledNumberArea);
    std::printf("%s: detail %.2f of %d blocks%s, %d finer rim blocks, mean colour off by %.1f, "
                "area under the number %d\n",
                qPrintable(name), detail, blocks.structured,
                blocks.structured == 0 ? " (one colour)" : "", blocks.partlyOpaque, meanDifference,
                underNumber);

    checker.expect(blocks.maskMismatches == 0 && blocks.strayPartial == 0, name,
                   "mask is not the base picture's mask at twice the size");
    checker.expect(blocks.partlyOpaque >= minFinerRimBlocks, name,
                   "corners are the base picture's staircase, not cut at this size");
    checker.expect(meanDifference <= maxDoubleSizeMeanDifference, name,
                   "mean colour differs from the base picture");
    checker.expect(detail >= minDoubleSizeDetail, name,
                   "no detail of its own: looks like the base picture with doubled pixels");
    checker.expect(underNumber >= minNumberAreaLuminance, name, "too dark for a black number");
    if (index == gradientShirt)
        checker.expect(runsBlackToWhite(doubled), name, "not a gradient from black to white");
}

void checkPalettedIcon(Checker& checker, const QString& path, const QImage& image, int size) {
    checker.expect(image.size() == QSize(size, size), path, "wrong size");
    checker.expect(isPalettedPng(path), path, "not stored paletted");
    checker.expect(image.format() == QImage::Format_Indexed8, path, "does not load as Indexed8");
    checker.expect(image.colorCount() <= maxPixelArtColours, path, "more than 16 palette entries");
    checker.expect(hasBinaryMask(image), path, "mask is not binary or has no transparent entry");
    checker.expect(cornersTransparent(image), path, "a corner pixel is not transparent");
    checker.expect(isOpaqueAt(image, size / 2, size / 2), path, "centre is not opaque");
}

void checkSmoothIcon(Checker& checker, const QString& path, const QImage& image, int size) {
    checker.expect(image.size() == QSize(size, size), path, "wrong size");
    checker.expect(image.hasAlphaChannel(), path, "no transparency");
    checker.expect(cornersTransparent(image), path, "a corner pixel is not transparent");
    checker.expect(isOpaqueAt(image, size / 2, size / 2), path, "centre is not opaque");
}

QImage loadAndReport(Checker& checker, const QString& path, qint64 maxBytes = maxFileBytes) {
    const QImage image(path);
    checker.expect(!image.isNull(), path, "cannot be read");
    const qint64 bytes = fileBytes(path);
    std::printf("%s: %lld bytes\n", qPrintable(path), static_cast<long long>(bytes));
    checker.expect(bytes <= maxBytes, path, "file is unexpectedly large");
    return image;
}

bool allRead(const std::vector<QImage>& images) {
    return std::none_of(images.cbegin(), images.cend(),
                        [](const QImage& image) { return image.isNull(); });
}

std::vector<QImage> loadShirts(Checker& checker, const QString& resourceDir, int scale) {
    std::vector<QImage> shirts;
    for (int index = 0; index < shirtCount; ++index) {
        const QString path = resourceDir + QLatin1String("/shirts/") + shirtFileName(index, scale);
        shirts.push_back(
            loadAndReport(checker, path, scale == 1 ? maxFileBytes : maxDoubleSizeFileBytes));
        if (!shirts.back().isNull())
            checkShirt(checker, path, shirts.back(), scale);
    }
    return shirts;
}

} // namespace

bool checkResources(const QString& resourceDir) {
    Checker checker;

    const std::vector<QImage> shirts = loadShirts(checker, resourceDir, 1);
    if (allRead(shirts))
        checkShirtSet(checker, shirts);
    const std::vector<QImage> doubled = loadShirts(checker, resourceDir, 2);
    if (allRead(shirts) && allRead(doubled)) {
        for (int index = 0; index < shirtCount; ++index)
            checkDoubleSizeShirt(checker, index, shirts[index], doubled[index]);
    }

    const QString iconDir = resourceDir + QLatin1String("/icons/");
    for (const int size : pixelArtIconSizes) {
        const QString path = iconDir + QStringLiteral("sdvigul-%1.png").arg(size);
        const QImage icon = loadAndReport(checker, path);
        if (!icon.isNull())
            checkPalettedIcon(checker, path, icon, size);
    }
    for (const int size : smoothIconSizes) {
        const QString path = iconDir + QStringLiteral("sdvigul-%1.png").arg(size);
        const QImage icon = loadAndReport(checker, path);
        if (!icon.isNull())
            checkSmoothIcon(checker, path, icon, size);
    }
    const QString aboutPath = iconDir + QLatin1String("about-layout-32.png");
    const QImage about = loadAndReport(checker, aboutPath);
    if (!about.isNull())
        checkPalettedIcon(checker, aboutPath, about, aboutPictureSize);

    std::printf(checker.passed() ? "all checks passed\n" : "some checks failed\n");
    return checker.passed();
}

} // namespace shirtgen
