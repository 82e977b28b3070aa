// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

class QDialog;
class ShirtImage;

// What a screen reader learns about the tile-back chooser: the dialog has a name although its
// title bar shows none, each picture is named "Рубашка 1" … "Рубашка 15", the framed one is
// selected, and a picture's Press action selects it as a click does.
namespace shirt_a11y {

// `pictures` in index order, img(0) first.
void SetUp(QDialog& chooser, const QList<ShirtImage*>& pictures);
// The frame moved to another picture: the selected state of the pictures it left and reached.
void SelectionChanged(const QList<ShirtImage*>& pictures);

} // namespace shirt_a11y
