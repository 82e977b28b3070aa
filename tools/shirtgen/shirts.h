// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The fifteen tile-back pictures ("shirts") the player can choose from.

#include <QImage>
#include <QString>

namespace shirtgen {

constexpr int shirtCount = 15;
constexpr int shirtSize = 48;
// Every picture is drawn at these multiples of shirtSize: 1 for ordinary screens, 2 for
// screens with twice the pixel density (and, scaled down, the ones in between).
constexpr int shirtScales[] = {1, 2};

// Picture `index` (0..shirtCount-1) at `scale` times shirtSize square, with transparent
// rounded corners through which the tile colour shows. The base size is paletted by our own
// quantizer; larger scales draw the same design at their own resolution.
QImage makeShirt(int index, int scale = 1);

// "shirt07.png" for index 7, "shirt07@2x.png" at scale 2 (the name Qt gives a picture for
// a device pixel ratio of two).
QString shirtFileName(int index, int scale = 1);

// Whether pixel (x, y) of the picture at `scale` lies on the opaque rounded square.
bool isInsideTile(int x, int y, int scale = 1);

} // namespace shirtgen
