// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtCore/qnamespace.h>

// The title bar the game draws on Wayland desktops that leave decorations to the program:
// the same measures as Qt's stock bar, so windows keep their size, but only the buttons a
// window offers. The window manager draws the bar everywhere else.
namespace titlebar {

constexpr int kHeight = 30;
constexpr int kBorder = 3;
constexpr int kButtonSize = 18;
constexpr int kButtonSpacing = 5;
constexpr int kRightMargin = 8;
constexpr int kIconSize = 22;
constexpr int kTitlePixels = 14;

// Width the buttons take on the right, with the gap before the title ends.
constexpr int RightPart(int buttons) {
    return kRightMargin + buttons * kButtonSize + (buttons - 1) * kButtonSpacing + kButtonSpacing;
}

// The buttons the bar shows for a window with these flags: those the flags name, or all when
// they name none (a bare window). Widgets always name theirs: a dialog only close, a main
// window every one unless it chose. Never maximise: the bar is for windows of a fixed size.
struct Buttons {
    bool minimise = false;
    bool close = false;
};
constexpr Buttons ButtonsFor(Qt::WindowFlags flags) {
    constexpr Qt::WindowFlags kNamed =
        Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
    const bool all = !(flags & kNamed);
    return {all || (flags & Qt::WindowMinimizeButtonHint),
            all || (flags & Qt::WindowCloseButtonHint)};
}

} // namespace titlebar
