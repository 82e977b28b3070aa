// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPixmap;

// What the tile-back chooser needs of the board it dresses: the main window implements it.
class TileBackTarget {
public:
    virtual ~TileBackTarget() = default;
    // Gives tile `tile` (1..15) the picture; this wipes the tile's painted number.
    virtual void SetTilePicture(int tile, const QPixmap& picture) = 0;
    // Paints every tile's number again over its colour and picture.
    virtual void PaintNumbers() = 0;
};

// The chooser's selection, kept by the main window for the whole run so that it survives
// the closing of the dialog: the selected picture and the "Ассорти" tick.
struct ShirtChoice {
    int i_Shirt = 0;
    bool bMixed = false;
};
