// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turning full-colour drawings into small paletted PNG files.

#include <QImage>
#include <QString>

namespace shirtgen {

enum class MaskKind {
    Binary, // every pixel fully opaque or fully transparent, as in old icons
    Graded, // antialiased edges keep their partial transparency
};

// Converts an ARGB drawing into an Indexed8 image. Palette entry 0 is fully
// transparent; the remaining colours are reduced by median cut to at most
// `maxVisibleColours` entries. With a binary mask a pixel whose alpha is
// below one half becomes transparent and all others fully opaque.
QImage toIndexed(const QImage& drawing, int maxVisibleColours, MaskKind mask = MaskKind::Binary);

// Converts an ARGB drawing with a binary mask into an Indexed8 image of at
// most 256 entries with libimagequant, without dithering, so smooth areas stay
// smooth and the texture is the drawing's own. Used for the larger pictures.
QImage toIndexedFine(const QImage& drawing);

// Writes `image` as PNG with the strongest compression the writer offers.
// Returns false and prints the reason when the file cannot be written.
bool savePng(const QImage& image, const QString& path);

} // namespace shirtgen
