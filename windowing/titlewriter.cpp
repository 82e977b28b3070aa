// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowing.h"

#include "titlebarchoice.h"
#include "waylandglobals.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace windowing {
namespace {

// U+034F COMBINING GRAPHEME JOINER: printable and no blank in Qt's eyes, so neither the
// removal of unprintable characters nor QString::simplified() touches it, and it has no
// glyph and no width of its own.
constexpr char16_t kInvisibleJoiner = u'\u034F';

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

// Runs an action once after the next paint of the widget it watches has been flushed.
class AfterPaint final : public QObject {
public:
    explicit AfterPaint(std::function<void()> action) : action_(std::move(action)) {}

    void Watch(QWidget& widget) { widget.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the paint event comes before the flush that shows it.
            QMetaObject::invokeMethod(this, action_, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

class TitleWriter::Writer {
public:
    explicit Writer(QWidget& window) : window_(window) {}

    void Write(const QString& title);
    QString Title() const { return title_.isNull() ? window_.windowTitle() : title_; }

private:
    bool WriteX11(const QByteArray& utf8);
    bool ManagerFoldsBlanks();
    void RepaintOwnTitleBar();
    QWidget& CornerWidget() const;
    void RepaintCorner() const;
    void RepaintTitleBarAgain() const;

    QWidget& window_;
    // Waits for the paint that brought a new title to Qt's title bar, then asks for the next.
    std::unique_ptr<AfterPaint> titleBarPainted_;
    QString title_;
    std::uint32_t netWmName_ = 0;
    std::uint32_t utf8String_ = 0;
    bool atomsLooked_ = false;
    // Asked once, the first time a title starts with a blank.
    std::optional<bool> foldsBlanks_;
};

TitleWriter::TitleWriter(QWidget& window) : writer_(std::make_unique<Writer>(window)) {}

TitleWriter::~TitleWriter() = default;

void TitleWriter::Write(const QString& title) {
    writer_->Write(title);
}

QString TitleWriter::Title() const {
    return writer_->Title();
}

QString TitleWriter::KeepLeadingBlanks(const QString& title) {
    qsizetype blanks = 0;
    while (blanks < title.size() && title[blanks] == QLatin1Char(' '))
        ++blanks;
    if (blanks == 0)
        return title;
    QString kept;
    kept.reserve(title.size() + blanks);
    for (qsizetype i = 0; i < blanks; ++i)
        kept.append(QChar(kInvisibleJoiner)).append(QLatin1Char(' '));
    return kept.append(QStringView(title).mid(blanks));
}

void TitleWriter::Writer::Write(const QString& title) {
    title_ = title;
    const bool leadingBlank = title.startsWith(QLatin1Char(' '));
    const QString sent = leadingBlank && ManagerFoldsBlanks() ? KeepLeadingBlanks(title) : title;
    if (WriteX11(sent.toUtf8()))
        return;
    window_.setWindowTitle(sent);
    RepaintOwnTitleBar();
}

bool TitleWriter::Writer::ManagerFoldsBlanks() {
    if (!foldsBlanks_) {
        xcb_connection_t* connection = X11Connection();
        const auto window = static_cast<xcb_window_t>(window_.internalWinId());
        // Without an X connection: the Wayland compositor's own interfaces, or failing those
        // (no compositor that says, or no Wayland either) the session's name.
        foldsBlanks_ =
            connection && window
                ? X11ManagerName(connection, window) == kBlankFoldingManager
                : WaylandCompositorOffers(kBlankFoldingCompositorGlobal) || SessionIsKde();
    }
    return *foldsBlanks_;
}

void TitleWriter::Writer::RepaintOwnTitleBar() {
    // Qt's Wayland decorations are the only frame a client draws itself; they show as frame
    // margins of the window. The title bar is painted into the window's buffer when the next
    // change of the contents is flushed, so one pixel of the contents is repainted for it.
    const QWindow* handle = window_.windowHandle();
    if (!handle || !window_.isVisible() || !IsWayland())
        return;
    if (handle->frameMargins().top() <= 0)
        return;
    RepaintCorner();
    // Qt's stock bar centres a new title at its first paint by its width in the application's
    // font; only its next paint measures the title in the font it is drawn with. The game's
    // own bar measures in the drawing font from the start.
    if (OwnWaylandTitleBarInUse())
        return;
    if (!titleBarPainted_)
        titleBarPainted_ = std::make_unique<AfterPaint>([this] { RepaintTitleBarAgain(); });
    titleBarPainted_->Watch(CornerWidget());
}

void TitleWriter::Writer::RepaintTitleBarAgain() const {
    QWindow* handle = window_.windowHandle();
    if (!handle || !window_.isVisible())
        return;
    // Handing the bar the same title again marks it for another paint; the window system
    // keeps the title it already has.
    handle->setTitle(handle->title());
    RepaintCorner();
}

// The widget that shows the window's last pixel: a pixel of the window hidden under an opaque
// child would be dropped from a repaint and flush nothing.
QWidget& TitleWriter::Writer::CornerWidget() const {
    QWidget* shown = window_.childAt(window_.width() - 1, window_.height() - 1);
    return shown ? *shown : window_;
}

void TitleWriter::Writer::RepaintCorner() const {
    QWidget& shown = CornerWidget();
    const QPoint corner(window_.width() - 1, window_.height() - 1);
    shown.update(QRect(shown.mapFrom(&window_, corner), QSize(1, 1)));
}

bool TitleWriter::Writer::WriteX11(const QByteArray& utf8) {
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

} // namespace windowing
