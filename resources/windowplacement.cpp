// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace res {
namespace {

// A Wayland client has no say in where its windows go: the compositor places them (and
// centres a fixed-size one like ours). A move there would only change Qt's idea of the
// position.
bool CanPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Waits for the first move or resize that shows a frame around the window, centres the
// window then, and removes itself.
class FrameWatcher final : public QObject {
public:
    explicit FrameWatcher(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
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

} // namespace

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
