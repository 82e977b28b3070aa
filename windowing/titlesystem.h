// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QByteArray;
class QWidget;

// The windowing system's side of the title writer: titlesystem_unix.cpp speaks X11 and
// Wayland, titlesystem_windows.cpp stands in for them on Windows, where the caption is Qt's.
namespace windowing {

// Whether whoever draws the window's caption trims it and folds its runs of blanks into one
// (KWin, on X11 and on Wayland). Asks the window system each time; the caller keeps the answer.
bool ManagerFoldsCaptionBlanks(const QWidget& window);

// Writes the X11 title properties of `window` (UTF-8) straight to the X connection. False when
// there is no X connection or no native window yet, and Qt is to set the title instead.
bool WriteTitleProperties(const QWidget& window, const QByteArray& utf8);

} // namespace windowing
