// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace res {

// The program's icon in every size it is drawn in: 16 and 32 px as 16-colour pixel art, 48 to
// 256 px smooth. Each request decodes the one picture that fits the place and screen density
// (the smallest at least as large, else the largest) and keeps nothing: on X11 a window's
// icon is converted in every size for the desktop once, and those decoded pictures, a third
// of a megabyte, would otherwise stay in memory for the whole run.
QIcon ProgramIcon();

// The same icon with its two small sizes only: what a title bar shows.
QIcon SmallProgramIcon();

} // namespace res
