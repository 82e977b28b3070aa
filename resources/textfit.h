// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QLabel;
class QFont;

namespace res {

// The window layouts place their labels in fixed pixel boxes drawn for a small interface
// font. With a wider font (DejaVu Sans, the Debian default) a caption would be cut off, so a
// label whose text does not fit gets its font lowered in half-point steps until it does,
// down to a readable floor. A label that fits keeps the platform's font untouched.
// Returns the font the label ends up with.
QFont FitLabelText(QLabel* label);

} // namespace res
