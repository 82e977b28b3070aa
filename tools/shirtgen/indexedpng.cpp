// SPDX-License-Identifier: GPL-3.0-or-later
#include "indexedpng.h"

#include "drawing.h"

#include <QImageWriter>
#include <QVector>

#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace shirtgen {
namespace {

struct ColourCount {
    QRgb colour;
    int count;
};

using ColourBox = std::vector<ColourCount>;

constexpr int channelCount = 4; // red, green, blue, alpha

int channel(QRgb colour, int index) {
    switch (index) {
    case 0:
        return qRed(colour);
    case 1:
        return qGreen(colour);
    case 2:
        return qBlue(colour);
    default:
        return qAlpha(colour);
    }
}

// The channel in which the box's colours spread furthest, and that spread.
std::pair<int, int> widestChannel(const ColourBox& box) {
    int bestChannel = 0;
    int bestRange = -1;
    for (int index = 0; index < channelCount; ++index) {
        const auto [low, high] = std::minmax_element(
            box.cbegin(), box.cend(), [index](const ColourCount& a, const ColourCount& b) {
                return channel(a.colour, index) < channel(b.colour, index);
            });
        const int range = channel(high->colour, index) - channel(low->colour, index);
        if (range > bestRange) {
            bestRange = range;
            bestChannel = index;
        }
    }
    return {bestChannel, bestRange};
}

// Splits a box at the pixel-weighted median of its widest channel.
std::pair<ColourBox, ColourBox> splitBox(ColourBox box) {
    const int index = widestChannel(box).first;
    std::sort(box.begin(), box.end(), [index](const ColourCount& a, const ColourCount& b) {
        const int ca = channel(a.colour, index);
        const int cb = channel(b.colour, index);
        return ca != cb ? ca < cb : a.colour < b.colour;
    });

    int total = 0;
    for (const ColourCount& entry : box)
        total += entry.count;

    std::size_t cut = 1;
    int seen = box.front().count;
    while (cut < box.size() - 1 && seen * 2 < total) {
        seen += box[cut].count;
        ++cut;
    }
    const auto middle = box.begin() + static_cast<std::ptrdiff_t>(cut);
    return {ColourBox(box.begin(), middle), ColourBox(middle, box.end())};
}

QRgb averageColour(const ColourBox& box) {
    std::array<long long, channelCount> sums{};
    long long total = 0;
    for (const ColourCount& entry : box) {
        for (int index = 0; index < channelCount; ++index)
            sums[index] += static_cast<long long>(channel(entry.colour, index)) * entry.count;
        total += entry.count;
    }
    const auto average = [&sums, total](int index) {
        return static_cast<int>((sums[index] + total / 2) / total);
    };
    return qRgba(average(0), average(1), average(2), average(3));
}

std::vector<QRgb> medianCutPalette(const std::map<QRgb, int>& histogram, int maxColours) {
    std::vector<QRgb> palette;
    if (static_cast<int>(histogram.size()) <= maxColours) {
        for (const auto& [colour, count] : histogram)
            palette.push_back(colour);
        return palette;
    }

    std::vector<ColourBox> boxes(1);
    for (const auto& [colour, count] : histogram)
        boxes.front().push_back({colour, count});

    while (static_cast<int>(boxes.size()) < maxColours) {
        // Split the box with the widest spread; boxes of one colour cannot split.
        auto widest = boxes.end();
        int widestRange = 0;
        for (auto box = boxes.begin(); box != boxes.end(); ++box) {
            const int range = box->size() > 1 ? widestChannel(*box).second : 0;
            if (range > widestRange) {
                widestRange = range;
                widest = box;
            }
        }
        if (widest == boxes.end())
            break;
        auto [first, second] = splitBox(std::move(*widest));
        *widest = std::move(first);
        boxes.push_back(std::move(second));
    }

    for (const ColourBox& box : boxes)
        palette.push_back(averageColour(box));
    return palette;
}

int nearestIndex(const std::vector<QRgb>& palette, QRgb colour) {
    int best = 0;
    int bestDistance = INT_MAX;
    for (int index = 0; index < static_cast<int>(palette.size()); ++index) {
        int distance = 0;
        for (int component = 0; component < channelCount; ++component) {
            const int difference = channel(palette[index], component) - channel(colour, component);
            distance += difference * difference;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

// The colour a drawn pixel keeps before reduction; none when it is to
// become the transparent entry.
std::optional<QRgb> visibleColour(QRgb pixel, MaskKind mask) {
    if (mask == MaskKind::Binary) {
        if (qAlpha(pixel) < 128)
            return std::nullopt;
        return qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
    }
    if (qAlpha(pixel) == 0)
        return std::nullopt;
    return pixel;
}

// Translucent entries first, so the PNG's transparency table stays short;
// then dark to light, which keeps similar colours on nearby indices.
// Frees what libimagequant hands out.
struct LiqDeleter {
    void operator()(liq_attr* attributes) const { liq_attr_destroy(attributes); }
    void operator()(liq_image* image) const { liq_image_destroy(image); }
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};
template <typename T> using LiqPointer = std::unique_ptr<T, LiqDeleter>;

bool paletteOrder(QRgb a, QRgb b) {
    if (qAlpha(a) != qAlpha(b))
        return qAlpha(a) < qAlpha(b);
    const int la = luminance(a);
    const int lb = luminance(b);
    return la != lb ? la < lb : a < b;
}

} // namespace

QImage toIndexed(const QImage& drawing, int maxVisibleColours, MaskKind mask) {
    const QImage source = drawing.convertToFormat(QImage::Format_ARGB32);

    std::map<QRgb, int> histogram;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (const auto colour = visibleColour(source.pixel(x, y), mask))
                ++histogram[*colour];
        }
    }

    std::vector<QRgb> palette = medianCutPalette(histogram, std::min(maxVisibleColours, 255));
    std::sort(palette.begin(), palette.end(), paletteOrder);

    QVector<QRgb> colourTable{qRgba(0, 0, 0, 0)};
    for (const QRgb colour : palette)
        colourTable.append(colour);

    // Each distinct colour is looked up once rather than once per pixel.
    std::map<QRgb, uchar> indexOfColour;
    for (const auto& [colour, count] : histogram)
        indexOfColour[colour] = static_cast<uchar>(1 + nearestIndex(palette, colour));

    QImage indexed(source.size(), QImage::Format_Indexed8);
    indexed.setColorTable(colourTable);
    for (int y = 0; y < source.height(); ++y) {
        uchar* line = indexed.scanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            const auto colour = visibleColour(source.pixel(x, y), mask);
            line[x] = colour ? indexOfColour.at(*colour) : 0;
        }
    }
    return indexed;
}

QImage toIndexedFine(const QImage& drawing) {
    QImage rgba = drawing.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();

    const LiqPointer<liq_attr> attributes(liq_attr_create());
    liq_set_max_colors(attributes.get(), 256);
    liq_set_speed(attributes.get(), 1); // the most careful search; the pictures are small
    std::vector<void*> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(rgba.scanLine(y));
    const LiqPointer<liq_image> image(
        liq_image_create_rgba_rows(attributes.get(), rows.data(), width, height, 0.0));
    liq_result* quantized = nullptr;
    if (!image || liq_image_quantize(image.get(), attributes.get(), &quantized) != LIQ_OK)
        return {};
    const LiqPointer<liq_result> result(quantized);
    liq_set_dithering_level(result.get(), 0.0F);

    std::vector<unsigned char> indices(static_cast<std::size_t>(width) * height);
    if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) !=
        LIQ_OK)
        return {};

    // The drawing's mask is binary; its palette stays so.
    const liq_palette* palette = liq_get_palette(result.get());
    QVector<QRgb> colourTable;
    for (unsigned int entry = 0; entry < palette->count; ++entry) {
        const liq_color& colour = palette->entries[entry];
        colourTable.append(colour.a < 128 ? qRgba(0, 0, 0, 0) : qRgb(colour.r, colour.g, colour.b));
    }

    QImage indexed(width, height, QImage::Format_Indexed8);
    indexed.setColorTable(colourTable);
    for (int y = 0; y < height; ++y)
        std::copy_n(indices.begin() + static_cast<std::ptrdiff_t>(y) * width, width,
                    indexed.scanLine(y));
    return indexed;
}

bool savePng(const QImage& image, const QString& path) {
    QImageWriter writer(path, "png");
    // For PNG, Qt maps quality 0 to zlib's strongest compression level.
    writer.setQuality(0);
    if (!writer.write(image)) {
        std::fprintf(stderr, "shirtgen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

} // namespace shirtgen
