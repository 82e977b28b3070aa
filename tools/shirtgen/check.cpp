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

// The mean colours of the look-alike pairs must differ this much in at
// least one channel so that they are told apart at a glance.
constexpr int minPairChannelDifference = 20;
// Any two tile backs must differ per pixel by this much on average.
constexpr double minMeanPixelDifference = 15.0;
// The black number must stand out: the area under it must be this light.
constexpr int minNumberAreaLuminance = 120;
constexpr int darkShirt = 14; // the gradient starts dark on purpose

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

void checkShirt(Checker& checker, const QString& path, const QImage& image) {
    const int last = shirtSize - 1;
    const int middle = shirtSize / 2;
    checker.expect(image.size() == QSize(shirtSize, shirtSize), path, "wrong size");
    checker.expect(isPalettedPng(path), path, "not stored paletted");
    checker.expect(image.format() == QImage::Format_Indexed8, path, "does not load as Indexed8");
    checker.expect(image.colorCount() <= 256, path, "more than 256 palette entries");
    checker.expect(image.hasAlphaChannel(), path, "no transparency");
    checker.expect(hasBinaryMask(image), path, "mask is not binary or has no transparent entry");
    checker.expect(cornersTransparent(image), path, "a corner pixel is not transparent");
    checker.expect(qAlpha(image.pixel(1, 1)) == 0 && qAlpha(image.pixel(last - 1, last - 1)) == 0,
                   path, "corners are not rounded");
    checker.expect(isOpaqueAt(image, middle, middle), path, "centre is not opaque");
    checker.expect(isOpaqueAt(image, middle, 0) && isOpaqueAt(image, 0, middle) &&
                       isOpaqueAt(image, middle, last) && isOpaqueAt(image, last, middle),
                   path, "does not reach the middle of every side");
}

void checkShirtSet(Checker& checker, const std::vector<QImage>& shirts) {
    for (int index = 0; index < shirtCount; ++index) {
        const QString name = shirtFileName(index);
        const int underNumber = meanLuminance(shirts[index], numberArea);
        std::printf("%s: area under the number has mean luminance %d\n", qPrintable(name),
                    underNumber);
        if (index != darkShirt)
            checker.expect(underNumber >= minNumberAreaLuminance, name,
                           "too dark for a black number");

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

QImage loadAndReport(Checker& checker, const QString& path) {
    const QImage image(path);
    checker.expect(!image.isNull(), path, "cannot be read");
    const qint64 bytes = fileBytes(path);
    std::printf("%s: %lld bytes\n", qPrintable(path), static_cast<long long>(bytes));
    checker.expect(bytes <= maxFileBytes, path, "file is unexpectedly large");
    return image;
}

} // namespace

bool checkResources(const QString& resourceDir) {
    Checker checker;

    std::vector<QImage> shirts;
    for (int index = 0; index < shirtCount; ++index) {
        const QString path = resourceDir + QLatin1String("/shirts/") + shirtFileName(index);
        shirts.push_back(loadAndReport(checker, path));
        if (!shirts.back().isNull())
            checkShirt(checker, path, shirts.back());
    }
    const bool allShirtsRead = std::none_of(shirts.cbegin(), shirts.cend(),
                                            [](const QImage& image) { return image.isNull(); });
    if (allShirtsRead)
        checkShirtSet(checker, shirts);

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
