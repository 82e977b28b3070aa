// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>

// A message box as the Russian desktop shows it. Qt's own button texts are English unless its
// translations are installed, and even then its OK stays Latin; the boxes of this program
// always show "Да", "Нет" and a Cyrillic "ОК".
QMessageBox::StandardButton ShowMessageBox(QWidget* owner, QMessageBox::Icon icon,
                                           const QString& title, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton);
