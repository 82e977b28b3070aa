#pragma once

// The fifteen tile-back pictures ("shirts") the player can choose from.

#include <QImage>
#include <QString>

namespace shirtgen {

constexpr int shirtCount = 15;
constexpr int shirtSize = 48;

// Picture `index` (0..shirtCount-1): shirtSize square, paletted, with
// transparent rounded corners through which the tile colour shows.
QImage makeShirt(int index);

// "shirt07.png" for index 7.
QString shirtFileName(int index);

// Whether pixel (x, y) lies on the opaque rounded square of a tile back.
bool isInsideTile(int x, int y);

} // namespace shirtgen
