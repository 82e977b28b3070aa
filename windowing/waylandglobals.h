// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace windowing {

// Whether the Wayland compositor the program is connected to offers the global interface
// `name` (a wl_registry global such as "org_kde_plasma_shell"). False on any other platform.
// X11 needs no counterpart: there the window manager names itself (see titlesystem_unix.cpp).
bool WaylandCompositorOffers(const char* name);

} // namespace windowing
