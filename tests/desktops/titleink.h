// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace desktops {

// Where the game's board area shows on a screenshot: the 247 × 350 block of the window's dark
// green below its menu bar. nullopt while no such block shows.
std::optional<QRect> FindBoardArea(const QImage& screen);

// The band above the board area that holds the menu bar and the title bar over it, whatever
// the decoration's height, clipped to the screen.
QRect TitleBand(const QRect& board, const QRect& screen);

// Two crops show the same: no pixel differs by more than a compositor's rounding, which
// varies from one frame to the next at the edges of some decorations.
bool LooksSame(const QImage& a, const QImage& b);

// The columns that hold the title's letters in one title-bar crop; empty when none do.
struct InkBox {
    int left = 0;
    int right = -1;
    bool IsEmpty() const { return right < left; }
    int Width() const { return IsEmpty() ? 0 : right - left + 1; }
};

// The title's ink in each of a series of crops of the same band: the pixels that change
// across the series (the title; buttons, icon, menu bar and desktop stay put) and, in that
// crop, stand out from the colour that row of the title bar mostly has where letters pass.
QList<InkBox> TitleInk(const QList<QImage>& crops);

// Judges the ink of one scroll, first crop standing before it, last after it. Empty when the
// word left (the ink narrowed), then came back from the right (ink starting clearly right of
// where the standing title's starts and ending right of where it ends), and stood as before.
// How the word travels back is the decoration's affair: one that elides a long title may
// shift it when the ellipsis goes.
QString JudgeScroll(const QList<InkBox>& inks);

// The groups of columns of `crop` that hold ink (any pixel clearly off the crop's commonest
// colour), apart from each other by at least two columns without: the buttons of a strip of
// title bar, say.
QList<InkBox> InkGroups(const QImage& crop);

// The crops stacked into one picture, for a person to look at.
QImage Strip(const QList<QImage>& crops);

} // namespace desktops
