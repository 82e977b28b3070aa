// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGui/qpa/qwindowsysteminterface_p.h>

#include <functional>

class QWidget;

// While a modal box is open, Qt drops the window system's request to close the window the box
// blocks, before any QCloseEvent is sent, so the close button of the main window would do
// nothing. This hook sits where Qt takes the window system's events off its queue, on every
// platform alike (the X11 WM_DELETE_WINDOW message and the Wayland xdg_toplevel close both
// arrive there as a close event), and hands a close of the main window that Qt would drop to
// `onClose` instead. Every other event goes on to Qt unchanged.
class CloseRequestFilter final : public QWindowSystemEventHandler {
public:
    CloseRequestFilter(const QWidget& window, std::function<void()> onClose);
    ~CloseRequestFilter() override;

    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

    bool sendEvent(QWindowSystemInterfacePrivate::WindowSystemEvent* event) override;

private:
    bool IsDroppedClose(const QWindowSystemInterfacePrivate::WindowSystemEvent& event) const;

    const QWidget& window_;
    std::function<void()> onClose_;
};
