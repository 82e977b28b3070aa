// SPDX-License-Identifier: GPL-3.0-or-later
#include "titlesystem.h"

#include "waylandglobals.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QList>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace windowing {
namespace {

// KWin folds the blanks of every caption. On X11 it calls itself by this name; on Wayland it
// offers Plasma's shell interface, which no other compositor does.
constexpr char kBlankFoldingManager[] = "KWin";
constexpr char kBlankFoldingCompositorGlobal[] = "org_kde_plasma_shell";

template <typename Reply> using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* X11Connection() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : 0;
}

// The value of a property of `window`; empty when it is missing or of another type.
QByteArray ReadProperty(xcb_connection_t* connection, xcb_window_t window, std::uint32_t property,
                        std::uint32_t type) {
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, type, 0, 256);
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->type != type)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// The name the running window manager gives itself (EWMH: the window named by the root's
// _NET_SUPPORTING_WM_CHECK carries it as _NET_WM_NAME).
QByteArray X11ManagerName(xcb_connection_t* connection, xcb_window_t window) {
    const XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr), &std::free);
    if (!tree)
        return {};
    const QByteArray check =
        ReadProperty(connection, tree->root, InternAtom(connection, "_NET_SUPPORTING_WM_CHECK"),
                     XCB_ATOM_WINDOW);
    if (check.size() != sizeof(xcb_window_t))
        return {};
    xcb_window_t manager = 0;
    std::memcpy(&manager, check.constData(), sizeof manager);
    return ReadProperty(connection, manager, InternAtom(connection, "_NET_WM_NAME"),
                        InternAtom(connection, "UTF8_STRING"));
}

// The desktop session names itself in XDG_CURRENT_DESKTOP, a colon-separated list such as
// "KDE"; Plasma runs on KWin.
bool SessionIsKde() {
    const QList<QByteArray> desktops = qgetenv("XDG_CURRENT_DESKTOP").split(':');
    for (const QByteArray& desktop : desktops)
        if (desktop.compare("KDE", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool ManagerFoldsCaptionBlanks(const QWidget& window) {
    xcb_connection_t* connection = X11Connection();
    const auto id = static_cast<xcb_window_t>(window.internalWinId());
    // Without an X connection: the Wayland compositor's own interfaces, or failing those (no
    // compositor that says, or no Wayland either) the session's name.
    if (connection && id)
        return X11ManagerName(connection, id) == kBlankFoldingManager;
    return WaylandCompositorOffers(kBlankFoldingCompositorGlobal) || SessionIsKde();
}

bool WriteTitleProperties(const QWidget& window, const QByteArray& utf8) {
    xcb_connection_t* connection = X11Connection();
    const auto id = static_cast<xcb_window_t>(window.internalWinId());
    if (!connection || !id)
        return false;
    // The program has one X connection for its whole run, so the atoms are looked up once.
    static const std::uint32_t netWmName = InternAtom(connection, "_NET_WM_NAME");
    static const std::uint32_t utf8String = InternAtom(connection, "UTF8_STRING");
    if (!netWmName || !utf8String)
        return false;
    const auto length = static_cast<std::uint32_t>(utf8.size());
    // The window manager's title (_NET_WM_NAME) and the classic one (WM_NAME), both UTF-8.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmName, utf8String, 8, length,
                        utf8.constData());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, utf8String, 8,
                        length, utf8.constData());
    xcb_flush(connection);
    return true;
}

} // namespace windowing
