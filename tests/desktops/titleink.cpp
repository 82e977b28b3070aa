// SPDX-License-Identifier: GPL-3.0-or-later
#include "titleink.h"

#include <QPainter>
#include <map>

#include <algorithm>
#include <cstdlib>

namespace desktops {

namespace {

constexpr QRgb kBoardGreen = 0x004000;
// A row or column of the board area has at least this much green in it, tiles and all.
constexpr int kGreenLine = 40;
// The band above the board: a menu bar and the tallest title bar seen, with room to spare.
constexpr int kBandHeight = 90;
constexpr int kBandSideMargin = 24;
// Colours closer than this (summed over the channels) are one colour: anti-aliased letters
// differ from the title bar by far more, a compositor's rounding by far less.
constexpr int kSameColour = 24;
constexpr int kInkContrast = 120;
// Blanks ahead of the word push it right by several of their widths even in a centred
// title; a standing title never moves by more than rounding.
constexpr int kClearlyRight = 12;
constexpr int kNarrower = 6;
constexpr int kJitter = 2;
constexpr int kStripCrops = 40;

int Distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

QString Describe(const InkBox& ink) {
    return ink.IsEmpty() ? QStringLiteral("-")
                         : QStringLiteral("%1..%2").arg(ink.left).arg(ink.right);
}

// The first crops of a long series and its last one.
QString Describe(const QList<InkBox>& inks) {
    constexpr qsizetype kShown = 40;
    QStringList parts;
    for (qsizetype i = 0; i < inks.size(); ++i)
        if (i < kShown || i + 1 == inks.size())
            parts << (i == kShown && i + 1 < inks.size() ? QStringLiteral("… ") : QString()) +
                         Describe(inks[i]);
    return parts.join(QLatin1Char(' '));
}

} // namespace

QList<InkBox> InkGroups(const QImage& crop) {
    std::map<QRgb, int> colours;
    for (int y = 0; y < crop.height(); ++y)
        for (int x = 0; x < crop.width(); ++x)
            ++colours[crop.pixel(x, y)];
    if (colours.empty())
        return {};
    const QRgb common = std::max_element(colours.cbegin(), colours.cend(), [](auto a, auto b) {
                            return a.second < b.second;
                        })->first;
    QList<InkBox> groups;
    int blank = 2; // columns without ink since the last with
    for (int x = 0; x < crop.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < crop.height() && !ink; ++y)
            ink = Distance(crop.pixel(x, y), common) >= kInkContrast;
        if (!ink) {
            ++blank;
            continue;
        }
        if (blank >= 2)
            groups.append({x, x});
        groups.back().right = x;
        blank = 0;
    }
    return groups;
}

std::optional<QRect> FindBoardArea(const QImage& screen) {
    if (screen.isNull())
        return std::nullopt;
    QList<int> rows(screen.height());
    QList<int> columns(screen.width());
    for (int y = 0; y < screen.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x)
            if ((line[x] & 0xffffff) == kBoardGreen) {
                ++rows[y];
                ++columns[x];
            }
    }
    const auto isLine = [](int count) { return count >= kGreenLine; };
    const auto top = std::find_if(rows.cbegin(), rows.cend(), isLine);
    const auto left = std::find_if(columns.cbegin(), columns.cend(), isLine);
    if (top == rows.cend() || left == columns.cend())
        return std::nullopt;
    const auto bottom = std::find_if(rows.crbegin(), rows.crend(), isLine);
    const auto right = std::find_if(columns.crbegin(), columns.crend(), isLine);
    return QRect(QPoint(int(left - columns.cbegin()), int(top - rows.cbegin())),
                 QPoint(int(columns.crend() - right) - 1, int(rows.crend() - bottom) - 1));
}

QRect TitleBand(const QRect& board, const QRect& screen) {
    return QRect(board.left() - kBandSideMargin, board.top() - kBandHeight,
                 board.width() + 2 * kBandSideMargin, kBandHeight)
        .intersected(screen);
}

bool LooksSame(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (Distance(a.pixel(x, y), b.pixel(x, y)) > kSameColour)
                return false;
    return true;
}

QList<InkBox> TitleInk(const QList<QImage>& crops) {
    QList<InkBox> inks(crops.size());
    if (crops.isEmpty())
        return inks;
    const QSize size = crops.front().size();
    for (int y = 0; y < size.height(); ++y) {
        // Where the row changes at all, and the colour it mostly has there: the title bar.
        QList<bool> changing(size.width());
        std::map<QRgb, int> colours;
        for (int x = 0; x < size.width(); ++x) {
            const QRgb first = crops.front().pixel(x, y);
            for (const QImage& crop : crops)
                changing[x] = changing[x] || Distance(crop.pixel(x, y), first) > kSameColour;
            if (changing[x])
                for (const QImage& crop : crops)
                    ++colours[crop.pixel(x, y)];
        }
        if (colours.empty())
            continue;
        const QRgb bar =
            std::max_element(colours.cbegin(), colours.cend(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            })->first;
        for (int i = 0; i < crops.size(); ++i)
            for (int x = 0; x < size.width(); ++x) {
                if (!changing[x] || Distance(crops[i].pixel(x, y), bar) <= kInkContrast)
                    continue;
                InkBox& ink = inks[i];
                ink = ink.IsEmpty() ? InkBox{x, x}
                                    : InkBox{std::min(ink.left, x), std::max(ink.right, x)};
            }
    }
    return inks;
}

QString JudgeScroll(const QList<InkBox>& inks) {
    const QString seen = QStringLiteral(" (ink per crop: %1)").arg(Describe(inks));
    if (inks.size() < 3 || inks.front().IsEmpty())
        return QStringLiteral("no title drawn before the scroll") + seen;
    const InkBox standing = inks.front();
    qsizetype leaving = -1;
    qsizetype back = -1;
    for (qsizetype i = 1; i + 1 < inks.size(); ++i) {
        const InkBox& ink = inks[i];
        if (ink.IsEmpty())
            continue;
        // A centred title narrows from both sides as letters leave; blanks ahead of the word
        // push all of it right, past where the standing title ends.
        if (leaving < 0 && ink.Width() < standing.Width() - kNarrower &&
            ink.right <= standing.right + kJitter)
            leaving = i;
        const bool clearlyRight = ink.left > standing.left + kClearlyRight;
        if (back < 0 && clearlyRight && ink.right > standing.right + kJitter)
            back = i;
        // A desktop that elides a title too wide for its bar (mutter 48: "С…", "Сд…") keeps
        // the returning word inside the bar: after the word has left, it shows as ink that
        // starts clearly right and reaches the end where the standing title ends.
        if (back < 0 && leaving >= 0 && i > leaving && clearlyRight &&
            ink.right >= standing.right - kJitter)
            back = i;
    }
    if (leaving < 0)
        return QStringLiteral("the word was not seen leaving: the ink never narrowed") + seen;
    if (back < 0)
        return QStringLiteral("the word was not seen coming back from the right") + seen;
    if (back < leaving)
        return QStringLiteral("the word came in from the right before it left") + seen;
    const InkBox end = inks.back();
    if (std::abs(end.left - standing.left) > 1 || std::abs(end.right - standing.right) > 1)
        return QStringLiteral("the title does not stand as before the scroll: %1 before, %2 after")
                   .arg(Describe(standing), Describe(end)) +
               seen;
    return {};
}

QImage Strip(const QList<QImage>& all) {
    if (all.isEmpty())
        return {};
    // Every so many of a long series, and the last: a picture viewers open.
    const qsizetype step = (all.size() + kStripCrops - 1) / kStripCrops;
    QList<QImage> crops;
    for (qsizetype i = 0; i < all.size(); i += step)
        crops << all[i];
    if ((all.size() - 1) % step != 0)
        crops << all.back();
    const QSize size = crops.front().size();
    QImage strip(size.width(), int(size.height() * crops.size()), QImage::Format_RGB32);
    QPainter painter(&strip);
    for (qsizetype i = 0; i < crops.size(); ++i)
        painter.drawImage(0, int(size.height() * i), crops[i]);
    return strip;
}

} // namespace desktops
