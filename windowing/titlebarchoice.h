// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace windowing {

// On Wayland, where the program draws its own title bars, asks Qt for the game's bar instead
// of its stock one (which offers maximise on windows that cannot be resized). Call after the
// application object is built and before the first window is shown. Does nothing on X11,
// when the player chose a Qt decoration (QT_WAYLAND_DECORATION), when the bar was not built,
// or when Qt is not the version the bar was built against.
void UseOwnWaylandTitleBar();

// Whether the game's own bar was chosen.
bool OwnWaylandTitleBarInUse();

} // namespace windowing
