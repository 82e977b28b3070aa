// SPDX-License-Identifier: GPL-3.0-or-later
#include "titlewriter.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_connection_t* X11Connection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : 0;
}

} // namespace

TitleWriter::TitleWriter(QWidget& window) : window_(window) {}

QString TitleWriter::Title() const {
    return title_.isNull() ? window_.windowTitle() : title_;
}

void TitleWriter::Write(const QString& title) {
    title_ = title;
    if (!WriteX11(title.toUtf8()))
        window_.setWindowTitle(title);
}

bool TitleWriter::WriteX11(const QByteArray& utf8) {
    xcb_connection_t* connection = X11Connection();
    const xcb_window_t window = static_cast<xcb_window_t>(window_.internalWinId());
    if (!connection || !window)
        return false;
    if (!atomsLooked_) {
        netWmName_ = InternAtom(connection, "_NET_WM_NAME");
        utf8String_ = InternAtom(connection, "UTF8_STRING");
        atomsLooked_ = true;
    }
    if (!netWmName_ || !utf8String_)
        return false;
    const auto length = static_cast<std::uint32_t>(utf8.size());
    // The window manager's title (_NET_WM_NAME) and the classic one (WM_NAME), both UTF-8.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmName_, utf8String_, 8,
                        length, utf8.constData());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, utf8String_, 8,
                        length, utf8.constData());
    xcb_flush(connection);
    return true;
}
