// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Qt aborts with a core dump and three lines of advice when it cannot reach the display.
// This tries the displays Qt will try, in Qt's order, before Qt does, so that main() can say
// plainly what is wrong. Returns an empty text when one of them answers or a platform is
// chosen that needs neither an X nor a Wayland display.
std::string DisplayProblem();
