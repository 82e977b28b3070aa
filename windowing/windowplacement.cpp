// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowplacement.h"

#include "titlebarchoice.h"
#include "titlebarlayout.h"
#include "windowing.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace windowing {
namespace {

// A Wayland client has no say in where its windows go: the compositor places them (KWin
// centres the game's window, GNOME puts it where it finds room, near the top left of an empty
// desktop). A move there would only change Qt's idea of the position.
bool CanPlaceWindows() {
    return !IsWayland();
}

// Puts the window, its frame included, in the middle of the screen's free area.
void CentreOnScreen(QWidget& window);

// The window manager's frame around a top-level window, as the windowing system reports it.
// QWidget::frameGeometry() is not used: after a box is shown again it may still hold the
// frame of the last showing, or none, until the next move.
QMargins FrameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The size the window is placed by: a fixed-size window's own, whatever size it passes
// through while a box shown again settles its layout.
QSize PlacedSize(const QWidget& window) {
    return window.minimumSize() == window.maximumSize() ? window.minimumSize() : window.size();
}

// Whether the window's frame stands in the middle of its screen, a pixel either way being
// rounding.
bool StandsCentred(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    const QScreen* screen = window.screen();
    if (!handle || !screen || handle->geometry().size() != PlacedSize(window))
        return false;
    const QPoint offset = handle->geometry().marginsAdded(FrameMargins(window)).center() -
                          screen->availableGeometry().center();
    return std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1;
}

// Centres the window by its frame once the frame is known, and removes itself when the window
// is seen centred. The first move, resize or paint that shows a frame is the moment: a window
// manager that frames a window where the program put it sends no move (a dialog under
// openbox, with Qt 6.8), but its first paint comes after the framing. A box shown again may
// pass through a passing size while its layout settles: the resize that follows centres it
// again. A few tries at most, so that a window manager with its own idea of the place is not
// fought.
class FrameWatcher final : public QObject {
public:
    explicit FrameWatcher(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                            event->type() == QEvent::Paint;
        if (watched != &window_ || !placed || !window_.isVisible() ||
            FrameMargins(window_).isNull())
            return false;
        if (StandsCentred(window_) || tries_ == kMaxTries) {
            window_.removeEventFilter(this);
            deleteLater();
        } else {
            ++tries_;
            CentreOnScreen(window_);
        }
        return false;
    }

private:
    static constexpr int kMaxTries = 4;
    QWidget& window_;
    int tries_ = 0;
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

// Whether Qt draws the title bar of `window` itself: Wayland without the compositor's
// decorations. Qt's own decorations show as frame margins; a window not shown yet gets the
// kind of title bar its owner has, as its own frame is not yet known.
bool DrawsOwnTitleBar(const QWidget& window) {
    if (!IsWayland())
        return false;
    for (const QWidget* candidate = &window; candidate;
         candidate = candidate->parentWidget() ? candidate->parentWidget()->window() : nullptr) {
        if (const QWindow* handle = candidate->windowHandle(); handle && handle->isVisible())
            return handle->frameMargins().top() > 0;
    }
    return false;
}

// The least width at which the title bar drawn on Wayland shows a box's `title` whole, between
// the window's icon and the box's buttons.
int OwnTitleBarWidth(const QString& title) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(titlebar::kTitlePixels);
    const int titleWidth = QFontMetrics(font).horizontalAdvance(title);
    return titleWidth + 2 * BoxTitleBarRightPart() + kTitleSlack;
}

// Where Qt draws the title bars itself, widens a fixed-size box that is too narrow to show its
// title whole. Called before the box is first shown; elsewhere the box keeps its size.
void WidenForOwnTitleBar(QWidget& box) {
    if (!DrawsOwnTitleBar(box))
        return;
    const int width = OwnTitleBarWidth(box.windowTitle());
    if (box.width() < width)
        box.setFixedWidth(width);
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen || !CanPlaceWindows())
        return;
    QRect frame = QRect(QPoint(0, 0), PlacedSize(window)).marginsAdded(FrameMargins(window));
    frame.moveCenter(screen->availableGeometry().center());
    // The frame's corner goes to the window manager as such: QWidget::move() would take it
    // for the client's corner while the widget has not yet heard of its frame.
    if (QWindow* handle = window.windowHandle())
        handle->setFramePosition(frame.topLeft());
    else
        window.move(frame.topLeft());
}

} // namespace

void KeepFixedWindowsUnmaximised() {
    static QPointer<UnmaximisedFixedWindows> guard;
    if (guard || !qApp)
        return;
    guard = new UnmaximisedFixedWindows(qApp); // owned by the application
    qApp->installEventFilter(guard);
}

void CentreOnceFramed(QWidget& window) {
    if (!CanPlaceWindows())
        return;
    CentreOnScreen(window);
    new FrameWatcher(window); // owned by the window
}

void DressDialog(QWidget& box) {
    WidenForOwnTitleBar(box);
    CentreOnceFramed(box);
}

// QMessageBox sizes itself to its layout whenever the layout changes, and a short text makes
// a box too narrow for its title where Qt draws the title bar; a blank row as wide as the
// title bar needs keeps it wide enough.
void DressMessageBox(QMessageBox& box) {
    const QWidget* owner = box.parentWidget();
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || !owner || !DrawsOwnTitleBar(*owner))
        return;
    grid->addItem(new QSpacerItem(OwnTitleBarWidth(box.windowTitle()), 0, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace windowing
