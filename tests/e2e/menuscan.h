// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Finding menu entries in screenshots. Text cannot be read back reliably from pixels, but
// where the entries are and how many there are can: each one is a run of lines with text.
namespace e2e {

// Entries of an open menu, top to bottom: each rectangle spans the menu's width and the rows
// of one entry's text. Separator lines, highlight bars and blank rows are no entries.
QList<QRect> MenuEntries(const QImage& menu);

// Entries of a menu bar, left to right: each rectangle spans the bar's height and the columns
// of one title.
QList<QRect> MenuBarEntries(const QImage& bar);

} // namespace e2e
