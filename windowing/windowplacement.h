// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace windowing {

// From now on, every window of the program that cannot be resized also stays out of the
// maximised and full-screen states, whoever asks for them. On X11 the window manager already
// refuses them to such a window; Qt's own Wayland title bar offers a maximise button on every
// window, and the compositor honours the request by moving the window into a corner.
void KeepFixedWindowsUnmaximised();

} // namespace windowing
