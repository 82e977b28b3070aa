// SPDX-License-Identifier: GPL-3.0-or-later
#include "programicon.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <utility>
#include <vector>

namespace res {
namespace {

const std::vector<int> kAllSides{16, 32, 48, 64, 128, 256};
const std::vector<int> kSmallSides{16, 32};

// QPixmap's own loading keeps every picture it decodes in QPixmapCache; a reader does not.
QPixmap ReadUncached(const QString& path) {
    return QPixmap::fromImage(QImageReader(path).read());
}

// Decodes the picture a place needs on every request and caches nothing, unlike Qt's own
// engine for files, which keeps every size it was asked for (in the icon and in QPixmapCache).
class ProgramIconEngine final : public QIconEngine {
public:
    explicit ProgramIconEngine(std::vector<int> sides) : sides_(std::move(sides)) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (size.isEmpty())
            return {};
        const int side = SideFor(size);
        QPixmap picture = ReadUncached(QStringLiteral(":/icons/sdvigul-%1.png").arg(side));
        const QSize shown = ShownSize(side, size);
        if (picture.size() != shown)
            picture = picture.scaled(shown, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return mode == QIcon::Normal ? picture : InMode(picture, mode);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        return size.isEmpty() ? QSize() : ShownSize(SideFor(size), size);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : sides_)
            sizes << QSize(side, side);
        return sizes;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        const QSize shown = picture.deviceIndependentSize().toSize();
        painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, shown, rect),
                            picture);
    }

    QIconEngine* clone() const override { return new ProgramIconEngine(sides_); }
    QString key() const override { return QStringLiteral("sdvigul-program-icon"); }

private:
    // The smallest picture at least as large as the place, else the largest there is.
    int SideFor(const QSize& size) const {
        const int wanted = std::max(size.width(), size.height());
        const auto fits = std::find_if(sides_.begin(), sides_.end(),
                                       [wanted](int side) { return side >= wanted; });
        return fits != sides_.end() ? *fits : sides_.back();
    }

    // A picture never grows; a larger one is scaled down to fit the place.
    static QSize ShownSize(int side, const QSize& place) {
        return QSize(side, side).scaled(place.boundedTo(QSize(side, side)), Qt::KeepAspectRatio);
    }

    // Disabled and selected looks, drawn by the style as for any other icon.
    static QPixmap InMode(const QPixmap& picture, QIcon::Mode mode) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return picture;
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, picture, &option);
    }

    std::vector<int> sides_;
};

} // namespace

QIcon ProgramIcon() {
    return QIcon(new ProgramIconEngine(kAllSides));
}

QIcon SmallProgramIcon() {
    return QIcon(new ProgramIconEngine(kSmallSides));
}

} // namespace res
