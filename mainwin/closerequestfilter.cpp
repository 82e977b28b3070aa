// SPDX-License-Identifier: GPL-3.0-or-later
#include "closerequestfilter.h"

#include <QWidget>
#include <QWindow>
#include <QtGui/private/qwindow_p.h>

#include <utility>

using Events = QWindowSystemInterfacePrivate;

CloseRequestFilter::CloseRequestFilter(const QWidget& window, std::function<void()> onClose)
    : window_(window), onClose_(std::move(onClose)) {
    Events::installWindowSystemEventHandler(this);
}

CloseRequestFilter::~CloseRequestFilter() {
    Events::removeWindowSystemEventhandler(this); // only if it is still this one
}

bool CloseRequestFilter::sendEvent(Events::WindowSystemEvent* event) {
    if (IsDroppedClose(*event)) {
        onClose_();
        return true;
    }
    return QWindowSystemEventHandler::sendEvent(event);
}

// The test Qt makes before it drops a close: the window is blocked by a modal one and the
// request does not come from the program's own QWindow::close().
bool CloseRequestFilter::IsDroppedClose(const Events::WindowSystemEvent& event) const {
    if (event.type != Events::Close)
        return false;
    QWindow* const target = static_cast<const Events::CloseEvent&>(event).window.data();
    if (!target || target != window_.windowHandle())
        return false;
    const QWindowPrivate* const state = QWindowPrivate::get(target);
    return state->blockedByModalWindow && !state->inClose;
}
