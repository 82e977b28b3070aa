// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QString>
#include <QtCore/qnamespace.h>

#include <functional>
#include <memory>
#include <optional>

class QMessageBox;
class QWidget;

// What the game does for the windowing system it runs under: X11 with its window manager, a
// Wayland compositor, or Windows. The rest of the program calls only this header; the X11 and
// Wayland protocol calls and Qt's private interfaces stay behind it.
namespace windowing {

// Whether the program is a Wayland client. Qt chooses the platform while it builds the
// application object and keeps it for the whole run, so the answer is taken once; before
// the application object exists the answer is false.
bool IsWayland();

// Added to the flags of a window whose size is fixed: on Windows the thin dialog frame, with
// no sizing border to offer a resize the window refuses. Elsewhere nothing: the window
// manager learns from the fixed size itself.
Qt::WindowFlags FixedFrameFlags();

// Call once the application object is built, before the first window is shown: on Wayland,
// where the program draws its own title bars, Qt is asked for the game's bar instead of its
// stock one (which offers maximise on windows that cannot be resized). Nothing happens on
// X11, when the player chose a Qt decoration (QT_WAYLAND_DECORATION), when the bar was not
// built, or when Qt is not the version the bar was built against.
void PrepareApplication();

// Call with what the event loop returned, once the windows are gone: returns it for main() to
// return, except on Wayland, where the process ends here with it. Qt's Wayland plugin can hang
// in its own teardown: its event thread may stop while a read the main thread prepared for it
// is still pending, and its frame thread then waits in wl_display_read_events for ever, a
// process without windows that never ends. Nothing is left to save by then.
int EndAfterEventLoop(int status);

// The main window, as it is built: a window of fixed size stays out of the maximised and
// full-screen states from now on (as does every other fixed-size window of the program), and
// the window gets the program's icon, its small sizes at once and every size a moment later,
// so that decoding and sending the large ones for the desktop does not delay the first
// picture.
void DressMainWindow(QWidget& window);

// Centres the window now, and once more when the window manager has framed it: before the
// window is first mapped its frame is unknown, so the first placement can only centre the
// window's own area, which leaves the framed window half a title bar too low. Does nothing on
// Wayland, where the compositor places windows.
void CentreOnceFramed(QWidget& window);

// A fixed-size dialog about to be shown for the first time: where Qt draws the title bar
// itself (Wayland without the compositor's decorations) it is widened to show its title
// whole, and it is centred once framed.
void DressDialog(QWidget& box);

// A message box built with its owner as parent, before it is shown: where Qt draws the title
// bar itself, the box is kept wide enough to show its title whole.
void DressMessageBox(QMessageBox& box);

// Where the mouse button went up, in global coordinates, for judging a drop, when the
// windowing system's own drop position cannot be trusted: on X11 a drag whose button goes up
// where it went down, after the pointer jumped onto the tile (a synthesized click), is now and
// then reported as dropped where the pointer was before the jump. The drop is delivered while
// Qt handles the button's release, so the place Qt last saw the pointer at is where the button
// was released (asking the X server instead would give where the pointer is by the time a busy
// program gets here). Empty elsewhere: on Wayland the drop's place comes from the compositor,
// and Qt's idea of the pointer is the stale one.
std::optional<QPoint> ReleasedPointer();

// Writes a window's title. The title scroll changes it 33 times every ten seconds, which is
// nearly all the work the game does while it waits; on X11 the title properties are written
// straight to the X connection, skipping Qt's conversion of every new title to the legacy
// compound text encoding and the bookkeeping around it. Elsewhere Qt sets the title: on
// Wayland that is a single xdg_toplevel title request with UTF-8 text, nothing to skip, and a
// request of our own beside Qt's would only leave Qt's copy of the title out of date.
//
// Two desktops need more than the plain text:
// - A window manager that tidies captions (KWin trims them and folds runs of blanks into one)
//   would show the title's leading blanks as nothing, so the word could not come back in
//   from the right. There each blank is sent behind an invisible joiner, which no tidying
//   removes and which draws exactly like the blank alone.
// - Where Qt draws the title bar itself (Wayland without the compositor's decorations), it
//   repaints the bar only when the window's contents are flushed; each new title asks for
//   that flush, and for a second one right after it: the bar centres a new title by its
//   width in the application's font but draws it 14 px high, and measures it in the font it
//   drew with only from its next paint on. Without the second paint every title would stand
//   a few pixels right of its centre until something else repainted the bar.
class TitleWriter {
public:
    explicit TitleWriter(QWidget& window);
    ~TitleWriter();
    TitleWriter(const TitleWriter&) = delete;
    TitleWriter& operator=(const TitleWriter&) = delete;

    void Write(const QString& title);
    // The title last written; until the first write, the window's own title.
    QString Title() const;

    // What is sent for `title` to a window manager that trims captions and folds their runs
    // of blanks: every leading blank follows an invisible joiner. Other titles are unchanged.
    static QString KeepLeadingBlanks(const QString& title);

private:
    class Writer;
    std::unique_ptr<Writer> writer_;
};

// While a modal box is open, Qt drops the window system's request to close the window the box
// blocks, before any QCloseEvent is sent, so the close button of the main window would do
// nothing. While an object of this class lives, such a request for `window` (the X11
// WM_DELETE_WINDOW message or the Wayland xdg_toplevel close) goes to `onClose` instead; every
// other event goes on to Qt unchanged.
class CloseRequestFilter {
public:
    CloseRequestFilter(const QWidget& window, std::function<void()> onClose);
    ~CloseRequestFilter();
    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

private:
    class Handler;
    std::unique_ptr<Handler> handler_;
};

} // namespace windowing
