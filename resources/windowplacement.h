// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;
class QWidget;

namespace res {

// Puts the window, its frame included, in the middle of the screen's free area. Does nothing
// on Wayland, where the compositor places windows.
void CentreOnScreen(QWidget& window);

// Centres the window now, and once more when the window manager has framed it: before the
// window is first mapped its frame is unknown, so the first placement can only centre the
// window's own area, which leaves the framed window half a title bar too low.
void CentreOnScreenOnceFramed(QWidget& window);

// From now on, every window of the program that cannot be resized also stays out of the
// maximised and full-screen states, whoever asks for them. On X11 the window manager already
// refuses them to such a window; Qt's own Wayland title bar offers a maximise button on every
// window, and the compositor honours the request by moving the window into a corner.
void KeepFixedWindowsUnmaximised();

// Whether Qt draws the title bar of `window` itself: Wayland without the compositor's
// decorations. A window not shown yet gets the kind of title bar its owner has.
bool DrawsOwnTitleBar(const QWidget& window);

// The least width at which the title bar drawn on Wayland shows a box's `title` whole, between
// the window's icon and the box's buttons.
int OwnTitleBarWidth(const QString& title);

// Where Qt draws the title bars itself (Wayland without the compositor's decorations), widens
// a fixed-size box that is too narrow to show its title whole. Call before the box is first
// shown; elsewhere the box keeps its size.
void WidenForOwnTitleBar(QWidget& box);

} // namespace res
