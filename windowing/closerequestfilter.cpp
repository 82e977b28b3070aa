// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowing.h"

#include <QWidget>
#include <QWindow>
#include <QtGui/private/qwindow_p.h>
#include <QtGui/qpa/qwindowsysteminterface_p.h>

#include <utility>

namespace windowing {

using Events = QWindowSystemInterfacePrivate;

// Sits where Qt takes the window system's events off its queue, on every platform alike: the
// X11 WM_DELETE_WINDOW message and the Wayland xdg_toplevel close both arrive there as a
// close event.
class CloseRequestFilter::Handler final : public QWindowSystemEventHandler {
public:
    Handler(const QWidget& window, std::function<void()> onClose)
        : window_(window), onClose_(std::move(onClose)) {
        Events::installWindowSystemEventHandler(this);
    }

    ~Handler() override {
        Events::removeWindowSystemEventhandler(this); // only if it is still this one
    }

    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    bool sendEvent(Events::WindowSystemEvent* event) override {
        if (IsDroppedClose(*event)) {
            onClose_();
            return true;
        }
        return QWindowSystemEventHandler::sendEvent(event);
    }

private:
    // The test Qt makes before it drops a close: the window is blocked by a modal one and the
    // request does not come from the program's own QWindow::close().
    bool IsDroppedClose(const Events::WindowSystemEvent& event) const {
        if (event.type != Events::Close)
            return false;
        QWindow* const target = static_cast<const Events::CloseEvent&>(event).window.data();
        if (!target || target != window_.windowHandle())
            return false;
        const QWindowPrivate* const state = QWindowPrivate::get(target);
        return state->blockedByModalWindow && !state->inClose;
    }

    const QWidget& window_;
    std::function<void()> onClose_;
};

CloseRequestFilter::CloseRequestFilter(const QWidget& window, std::function<void()> onClose)
    : handler_(std::make_unique<Handler>(window, std::move(onClose))) {}

CloseRequestFilter::~CloseRequestFilter() = default;

} // namespace windowing
