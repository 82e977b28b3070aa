// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QWidget;

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

    void Write(const QString& title);
    // The title last written; until the first write, the window's own title.
    QString Title() const;

    // What is sent for `title` to a window manager that trims captions and folds their runs
    // of blanks: every leading blank follows an invisible joiner. Other titles are unchanged.
    static QString KeepLeadingBlanks(const QString& title);

private:
    class AfterPaint;

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
