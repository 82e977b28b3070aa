// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowplacement.h"

#include "titlebarchoice.h"
#include "titlebarlayout.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace res {
namespace {

// A Wayland client has no say in where its windows go: the compositor places them (KWin
// centres the game's window, GNOME puts it where it finds room, near the top left of an empty
// desktop). A move there would only change Qt's idea of the position.
bool CanPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Waits for the first move, resize or paint that shows a frame around the window, centres
// the window then, and removes itself. A window manager that frames a window where the
// program put it sends no move (a dialog under openbox, with Qt 6.8): its first paint comes
// after the framing.
class FrameWatcher final : public QObject {
public:
    explicit FrameWatcher(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                            event->type() == QEvent::Paint;
        if (watched == &window_ && placed && window_.isVisible() &&
            window_.frameGeometry().size() != window_.size()) {
            window_.removeEventFilter(this);
            CentreOnScreen(window_);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& window_;
};

constexpr Qt::WindowStates kLargeStates = Qt::WindowMaximized | Qt::WindowFullScreen;

// Watches the state changes of all windows and takes a fixed-size window back to its normal
// state when it has been maximised or made full screen. Window flags without a maximise
// button do not stop every window system: Qt's own Wayland title bar draws the button and
// maximises with it whatever the flags and size limits say. The change back waits for the event
// loop, as the window system is still delivering the change being undone.
class UnmaximisedFixedWindows final : public QObject {
public:
    explicit UnmaximisedFixedWindows(QObject* parent) : QObject(parent) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange)
            if (auto* window = qobject_cast<QWidget*>(watched); window && window->isWindow())
                Check(*window);
        return false;
    }

private:
    static void Check(QWidget& window) {
        const bool fixed = window.minimumSize() == window.maximumSize();
        if (!fixed || !(window.windowState() & kLargeStates))
            return;
        QMetaObject::invokeMethod(
            &window,
            [guarded = QPointer<QWidget>(&window)] {
                if (guarded)
                    guarded->setWindowState(guarded->windowState() & ~kLargeStates);
            },
            Qt::QueuedConnection);
    }
};

// The title bar drawn on Wayland centres its title across the whole bar and clips it on the
// right before the buttons: Qt's stock bar has three, the game's own shows only close on a
// box. The window icon on the left takes less, so the right side decides.
int BoxTitleBarRightPart() {
    return titlebar::RightPart(OwnWaylandTitleBarInUse() ? 1 : 3);
}
constexpr int kTitleSlack = 4;

} // namespace

// Qt's own decorations show as frame margins; before a box is first shown its own frame is not
// yet known.
bool DrawsOwnTitleBar(const QWidget& window) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return false;
    for (const QWidget* candidate = &window; candidate;
         candidate = candidate->parentWidget() ? candidate->parentWidget()->window() : nullptr) {
        if (const QWindow* handle = candidate->windowHandle(); handle && handle->isVisible())
            return handle->frameMargins().top() > 0;
    }
    return false;
}

int OwnTitleBarWidth(const QString& title) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(titlebar::kTitlePixels);
    const int titleWidth = QFontMetrics(font).horizontalAdvance(title);
    return titleWidth + 2 * BoxTitleBarRightPart() + kTitleSlack;
}

void WidenForOwnTitleBar(QWidget& box) {
    if (!DrawsOwnTitleBar(box))
        return;
    const int width = OwnTitleBarWidth(box.windowTitle());
    if (box.width() < width)
        box.setFixedWidth(width);
}

void KeepFixedWindowsUnmaximised() {
    static QPointer<UnmaximisedFixedWindows> guard;
    if (guard || !qApp)
        return;
    guard = new UnmaximisedFixedWindows(qApp); // owned by the application
    qApp->installEventFilter(guard);
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen || !CanPlaceWindows())
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

void CentreOnScreenOnceFramed(QWidget& window) {
    if (!CanPlaceWindows())
        return;
    CentreOnScreen(window);
    new FrameWatcher(window); // owned by the window
}

} // namespace res
