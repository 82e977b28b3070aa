// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program icon (a grey key with a sun on it) and the small picture of a
// window with coloured blocks used in the About box.

#include <QImage>

namespace shirtgen {

// Sizes drawn as 16-colour pixel art and stored paletted.
constexpr int pixelArtIconSizes[] = {16, 32};
// Sizes drawn antialiased for the desktop icon theme; stored paletted too,
// but with graded transparency so the edges stay smooth.
constexpr int smoothIconSizes[] = {48, 64, 128, 256};

constexpr int aboutPictureSize = 32;
constexpr int maxPixelArtColours = 16; // including the transparent entry

// The program icon at `size` pixels square: paletted pixel art for the
// sizes in pixelArtIconSizes, antialiased otherwise.
QImage makeProgramIcon(int size);

// A program window holding a few coloured blocks, paletted, 32 pixels square.
QImage makeAboutPicture();

} // namespace shirtgen
