// SPDX-License-Identifier: GPL-3.0-or-later
#include "titlesystem.h"

namespace windowing {

// Windows draws a caption as it is given, leading blanks and all.
bool ManagerFoldsCaptionBlanks(const QWidget& /*window*/) {
    return false;
}

// Windows has no X11 properties; Qt sets the caption.
bool WriteTitleProperties(const QWidget& /*window*/, const QByteArray& /*utf8*/) {
    return false;
}

} // namespace windowing
