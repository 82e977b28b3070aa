// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace res {

// Texts of the program, looked up by the numeric ids the window layouts store in place of
// their captions. An id that is not in the table gives an empty string.
QString LoadResString(int id);

// True when `id` names a text of the table.
bool HasResString(int id);

// A layout caption that is a decimal string id becomes the text of that id. Anything else
// (a menu separator "-", an empty caption, a text that is not a number, an id the table lacks)
// is returned unchanged, so a damaged layout shows its raw caption rather than nothing.
QString CaptionFromStoredId(const QString& storedCaption);

// The program's title, shown in the main window's caption and message boxes.
QString AppTitle();

// Makes the compiled-in pictures and layouts' icons available; call once before any window.
void InitResources();

} // namespace res
