// SPDX-License-Identifier: GPL-3.0-or-later
// The title bar the game draws around its windows on Wayland desktops that leave decorations
// to the program (GNOME, for one). Qt's stock bar draws minimise, maximise and close on every
// window whatever its flags and size limits say, so the fixed-size game window and its boxes
// offered a maximise that could only move them into a corner. This bar draws the buttons the
// window's flags ask for and no maximise, and lets the title be measured in the font it is
// drawn with. A window that can be resized (the help viewer) keeps Qt's stock bar, with its
// maximise button, resize edges and cursors.
//
// Loaded by Qt's Wayland client as a decoration plugin, so X11 never loads it: there the
// window manager draws every title bar.
#include "titlebarlayout.h"

#include <QtWaylandClient/private/qwaylandabstractdecoration_p.h>
#include <QtWaylandClient/private/qwaylanddecorationfactory_p.h>
#include <QtWaylandClient/private/qwaylanddecorationplugin_p.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QWindow>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>

#include <cmath>
#include <memory>
#include <utility>

namespace {

using QtWaylandClient::QWaylandAbstractDecoration;
using QtWaylandClient::QWaylandDecorationFactory;
using QtWaylandClient::QWaylandInputDevice;
using namespace titlebar;

constexpr char kOwnKey[] = "sdvigul";
constexpr char kStockKey[] = "bradient";

enum class Button { None, Minimise, Close };

bool CanResize(const QWindow& window) {
    return window.minimumSize() != window.maximumSize();
}

// Qt's stock bar, for windows that can be resized; null if Qt has none.
QWaylandAbstractDecoration* CreateStock() {
    const QStringList keys = QWaylandDecorationFactory::keys();
    QString key =
        keys.contains(QLatin1String(kStockKey)) ? QString::fromLatin1(kStockKey) : QString();
    for (const QString& candidate : keys)
        if (key.isEmpty() && candidate != QLatin1String(kOwnKey))
            key = candidate;
    return key.isEmpty() ? nullptr : QWaylandDecorationFactory::create(key, {});
}

class TitleBar final : public QWaylandAbstractDecoration {
public:
    QMargins margins(MarginsType type = Full) const override {
        if (QWaylandAbstractDecoration* stock = Stock())
            return stock->margins(type);
        if (type == ShadowsOnly)
            return {};
        return {kBorder, kHeight, kBorder, kBorder};
    }

    bool handleMouse(QWaylandInputDevice* input, const QPointF& local, const QPointF& global,
                     Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) override {
        if (QWaylandAbstractDecoration* stock = Stock())
            return stock->handleMouse(input, local, global, buttons, modifiers);
        const bool inContent = Content().contains(local);
        if (!inContent && local.y() < kHeight)
            OnTitleBar(input, local, buttons);
        setMouseButtons(buttons);
        return !inContent;
    }

    bool handleTouch(QWaylandInputDevice* input, const QPointF& local, const QPointF& global,
                     QEventPoint::State state, Qt::KeyboardModifiers modifiers) override {
        if (QWaylandAbstractDecoration* stock = Stock())
            return stock->handleTouch(input, local, global, state, modifiers);
        if (state != QEventPoint::Pressed || local.y() >= kHeight || Content().contains(local))
            return false;
        const Button button = ButtonAt(local);
        if (button != Button::None)
            Press(button);
        else
            startMove(input, Qt::LeftButton);
        return true;
    }

protected:
    void paint(QPaintDevice* device) override {
        if (QWaylandAbstractDecoration* stock = Stock()) {
            stock->update(); // our bar was marked for repaint, the stock one does not know
            QPainter(device).drawImage(QPoint(), stock->contentImage());
            return;
        }
        QPainter painter(device);
        painter.setRenderHint(QPainter::Antialiasing);
        PaintFrame(painter);
        const QColor ink = Ink();
        int titleLeft = kBorder + kButtonSpacing;
        if (const QPixmap& icon = Icon(device->devicePixelRatioF()); !icon.isNull()) {
            painter.drawPixmap(QRect(titleLeft, (kHeight - kIconSize) / 2, kIconSize, kIconSize),
                               icon);
            titleLeft += kIconSize + kButtonSpacing;
        }
        PaintTitle(painter, titleLeft, ink);
        PaintButtons(painter, ink);
    }

private:
    // Decided at the first question, when the window's size limits are set: a box gets them
    // while it is being shown, before its window reaches the compositor.
    QWaylandAbstractDecoration* Stock() const {
        if (!decided_ && window()) {
            decided_ = true;
            if (CanResize(*window())) {
                stock_.reset(CreateStock());
                if (stock_)
                    stock_->setWaylandWindow(waylandWindow());
            }
        }
        return stock_.get();
    }

    // In the surface's coordinates, which the bar's measures and the pointer's positions are
    // given in: the window's size before any scaling Qt applies on its own (QT_SCALE_FACTOR).
    QRectF Frame() const {
        return QRectF(QPointF(), window()->handle()->geometry().size().grownBy(margins()));
    }
    QRectF Content() const { return Frame().marginsRemoved(margins()); }

    QRectF ButtonRect(Button button) const {
        const QRectF close(Frame().width() - kRightMargin - kButtonSize,
                           (kHeight - kButtonSize) / 2, kButtonSize, kButtonSize);
        const Buttons offered = ButtonsFor(window()->flags());
        if (button == Button::Close)
            return offered.close ? close : QRectF();
        if (button == Button::Minimise && offered.minimise)
            return close.translated(-(kButtonSize + kButtonSpacing), 0);
        return {};
    }

    Button ButtonAt(const QPointF& local) const {
        for (const Button button : {Button::Close, Button::Minimise})
            if (ButtonRect(button).contains(local))
                return button;
        return Button::None;
    }

    // A button acts when the left button is pressed and released on it; a press elsewhere on
    // the bar moves the window, the right button opens the desktop's window menu.
    void OnTitleBar(QWaylandInputDevice* input, const QPointF& local, Qt::MouseButtons buttons) {
        const Button under = ButtonAt(local);
        if (isLeftClicked(buttons)) {
            pressed_ = under;
            if (under == Button::None)
                startMove(input, buttons);
        } else if (isLeftReleased(buttons)) {
            if (std::exchange(pressed_, Button::None) == under && under != Button::None)
                Press(under);
        } else if (isRightClicked(buttons) && under == Button::None) {
            showWindowMenu(input);
        }
    }

    void Press(Button button) {
        if (button == Button::Close)
            QWindowSystemInterface::handleCloseEvent(window()); // as the compositor's close
        else if (button == Button::Minimise)
            window()->setWindowState(Qt::WindowMinimized);
    }

    // The window's icon at the bar's size, drawn once per icon: the bar is painted with every
    // step of the title scroll, and the game's icon is decoded afresh at each request.
    const QPixmap& Icon(qreal ratio) {
        const QIcon icon = window()->icon();
        if (icon.cacheKey() != iconKey_ || iconPixmap_.devicePixelRatio() != ratio) {
            iconKey_ = icon.cacheKey();
            iconPixmap_ =
                icon.isNull() ? QPixmap() : icon.pixmap(QSize(kIconSize, kIconSize), ratio);
        }
        return iconPixmap_;
    }

    QColor Ink() const {
        const bool active = window()->handle() && window()->handle()->isActive();
        return QGuiApplication::palette().color(active ? QPalette::Active : QPalette::Disabled,
                                                QPalette::WindowText);
    }

    void PaintFrame(QPainter& painter) const {
        QPainterPath outline;
        outline.addRoundedRect(Frame(), kBorder, kBorder);
        painter.save();
        painter.setClipRegion(QRegion(Frame().toRect()).subtracted(Content().toRect()));
        painter.fillPath(outline,
                         QGuiApplication::palette().color(QPalette::Active, QPalette::Window));
        painter.restore();
    }

    // Centred across the whole bar, measured in the font it is drawn with, cut off before the
    // first button.
    void PaintTitle(QPainter& painter, int left, const QColor& ink) const {
        const QString title = window()->title();
        QFont font = QGuiApplication::font();
        font.setPixelSize(kTitlePixels);
        const qreal width = QFontMetricsF(font).horizontalAdvance(title);
        qreal right = Frame().width() - kRightMargin;
        for (const Button button : {Button::Close, Button::Minimise})
            if (const QRectF rect = ButtonRect(button); !rect.isNull())
                right = rect.left() - kButtonSpacing;
        painter.save();
        painter.setClipRect(QRectF(left, 0, right - left, kHeight));
        painter.setFont(font);
        painter.setPen(ink);
        const qreal x = std::floor((Frame().width() - width) / 2);
        painter.drawText(QRectF(x, 0, width + 1, kHeight),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
        painter.restore();
    }

    void PaintButtons(QPainter& painter, const QColor& ink) const {
        QPen pen(ink);
        pen.setWidth(2);
        painter.save();
        painter.setPen(pen);
        if (const QRectF close = ButtonRect(Button::Close); !close.isNull()) {
            const qreal half = kButtonSize / 2.3 / 2;
            const QPointF c = close.center();
            painter.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
            painter.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
        }
        if (const QRectF minimise = ButtonRect(Button::Minimise); !minimise.isNull()) {
            painter.setRenderHint(QPainter::Antialiasing, false);
            const QRectF line = minimise.adjusted(5, 5, -5, -5);
            painter.drawLine(line.bottomLeft(), line.bottomRight());
        }
        painter.restore();
    }

    mutable std::unique_ptr<QWaylandAbstractDecoration> stock_;
    mutable bool decided_ = false;
    Button pressed_ = Button::None;
    qint64 iconKey_ = 0;
    QPixmap iconPixmap_;
};

} // namespace

class SdvigulTitleBarPlugin final : public QtWaylandClient::QWaylandDecorationPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QWaylandDecorationFactoryInterface_iid FILE "titlebar.json")
public:
    QWaylandAbstractDecoration* create(const QString&, const QStringList&) override {
        return new TitleBar;
    }
};

#include "titlebarplugin.moc"
