// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

} // namespace titlebar
