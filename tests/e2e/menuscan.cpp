// SPDX-License-Identifier: GPL-3.0-or-later
#include "menuscan.h"

#include <cstdlib>
#include <map>

namespace e2e {

namespace {

constexpr int kInkDifference = 120; // summed over the three channels
constexpr int kMaxGapInEntry = 3;   // an underlined access key leaves a gap below the letters
constexpr int kMinTextHeight = 5;
constexpr int kMaxGapInTitle = 5;
constexpr int kMinTitleWidth = 8;
constexpr int kBorder = 2;

bool Differs(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b)) >
           kInkDifference;
}

// The colour most of the given pixels have: the background behind any text among them.
template <typename PixelAt> QRgb CommonColour(int count, PixelAt pixelAt) {
    std::map<QRgb, int> counts;
    QRgb common = 0;
    int most = 0;
    for (int i = 0; i < count; ++i) {
        const int n = ++counts[pixelAt(i)];
        if (n > most) {
            most = n;
            common = pixelAt(i);
        }
    }
    return common;
}

// Runs of true values, joined across gaps up to `maxGap` and kept when at least `minLength`.
QList<QPair<int, int>> Runs(const QList<bool>& marks, int maxGap, int minLength) {
    QList<QPair<int, int>> runs;
    int start = -1;
    int last = -1;
    for (int i = 0; i < marks.size(); ++i) {
        if (!marks[i])
            continue;
        if (start >= 0 && i - last - 1 > maxGap) {
            runs.append({start, last});
            start = -1;
        }
        if (start < 0)
            start = i;
        last = i;
    }
    if (start >= 0)
        runs.append({start, last});
    QList<QPair<int, int>> kept;
    for (const auto& run : runs)
        if (run.second - run.first + 1 >= minLength)
            kept.append(run);
    return kept;
}

} // namespace

// The text column lies right of the check-mark column and left of the shortcut column; each
// row is judged against its own background, so a highlighted entry still counts as text.
QList<QRect> MenuEntries(const QImage& menu) {
    const int left = menu.width() * 15 / 100;
    const int right = menu.width() * 70 / 100;
    QList<bool> textRows;
    for (int y = 0; y < menu.height(); ++y) {
        bool text = false;
        if (y >= kBorder && y < menu.height() - kBorder) {
            const QRgb background =
                CommonColour(right - left, [&](int i) { return menu.pixel(left + i, y); });
            for (int x = left; x < right && !text; ++x)
                text = Differs(menu.pixel(x, y), background);
        }
        textRows << text;
    }
    QList<QRect> entries;
    for (const auto& run : Runs(textRows, kMaxGapInEntry, kMinTextHeight))
        entries << QRect(0, run.first, menu.width(), run.second - run.first + 1);
    return entries;
}

QList<QRect> MenuBarEntries(const QImage& bar) {
    const int top = kBorder;
    const int bottom = bar.height() - kBorder;
    const QRgb background =
        CommonColour(bar.width(), [&](int i) { return bar.pixel(i, bar.height() / 2); });
    QList<bool> textColumns;
    for (int x = 0; x < bar.width(); ++x) {
        bool text = false;
        for (int y = top; y < bottom && !text; ++y)
            text = Differs(bar.pixel(x, y), background);
        textColumns << text;
    }
    QList<QRect> entries;
    for (const auto& run : Runs(textColumns, kMaxGapInTitle, kMinTitleWidth))
        entries << QRect(run.first, 0, run.second - run.first + 1, bar.height());
    return entries;
}

} // namespace e2e
