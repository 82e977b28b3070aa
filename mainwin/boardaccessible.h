// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class frmGame;

// What a screen reader learns about the board: tiles are buttons named by their number with
// their place in the description, cells tell their place and whether they are empty, the
// board frame has a name, and the status captions and values form a status bar. A new deal,
// and (before Qt 6.8) a move of the tile that has the keyboard focus, are spoken as notices.
// A tile's one action, Press, moves it as a click or a drop on the empty cell would.
//
// None of this changes what the window shows. While no assistive technology listens, Qt
// never asks for these interfaces, and the notices below return at once. Qt's bridge carries
// all of it to the desktop over D-Bus (AT-SPI), the same on X11 and Wayland; nothing here
// speaks to a windowing system.
namespace board_a11y {

// Registers the interfaces of the tiles, the cells, the board frame and the status rows. Call
// before the window's controls are made: Qt keeps the interface a control first got.
void InstallInterfaces();
// Adds the notices' widget and hears when a menu closes. Call once the window's controls exist.
void SetUp(frmGame& game);

// A tile went from one cell into another: its place and both cells' names changed.
void TileMoved(const frmGame& game, int tile, int fromCell, int toCell);
// A new position was dealt: readers hear so, and where the empty cell is.
void Dealt(const frmGame& game);
// The player moved tile `tile`; if it has the keyboard focus, readers hear its new place.
void PlayerMoved(const frmGame& game, int tile);
// The hint colours were painted again: the "can move" wording may have come or gone.
void HintRepainted(const frmGame& game);

// Presses tile `tile` as the player would: a click in click mode, a drag onto the empty cell
// in drag mode, through the same handlers the mouse uses. Nothing moves before the first deal.
void PressTile(frmGame& game, int tile);

// The texts a reader gets; the board's own texts are in the string table, these are not shown.
QString TileDescription(const frmGame& game, int tile);
QString CellName(const frmGame& game, int cell);
QString CellDescription(int cell);
QString DealtText(const frmGame& game);

} // namespace board_a11y
