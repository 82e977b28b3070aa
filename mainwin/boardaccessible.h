// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class GameSession;
class QWidget;

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
// Ties the board in `window` (tiles "pC_1"…, cells "P_1"…) to the session that plays it, adds
// the notices' widget and hears when a menu closes. From then on the readers hear of the
// session's moves, deals and hint changes; the window must have connected to the session
// first, so that they hear of a change once the window shows it. Call once the window's
// controls exist.
void SetUp(QWidget& window, GameSession& session);

// Presses tile `tile` as the player would: a click in click mode, a drag onto the empty cell
// in drag mode. Nothing moves before the first deal, nor while a modal box is open.
void PressTile(GameSession& session, int tile);

// The texts a reader gets; the board's own texts are in the string table, these are not shown.
QString TileDescription(const GameSession& session, int tile);
QString CellName(const GameSession& session, int cell);
QString CellDescription(int cell);
QString DealtText(const GameSession& session);

} // namespace board_a11y
