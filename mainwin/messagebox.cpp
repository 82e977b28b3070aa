// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagebox.h"

#include "windowing.h"

#include <QAbstractButton>

namespace {

void UseRussianButtonTexts(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> texts[] = {
        {QMessageBox::Yes, "&Да"},
        {QMessageBox::No, "&Нет"},
        {QMessageBox::Ok, "ОК"},
    };
    for (const auto& [button, text] : texts)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(QString::fromUtf8(text));
}

} // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget* owner, QMessageBox::Icon icon,
                                           const QString& title, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, owner);
    box.setDefaultButton(defaultButton);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // The reader that comes with Qt 6.8 (Orca 48) reads a box's text from its description
    // and skips a label of fewer than three words, such as «Еще раз?». The one that comes with
    // Qt 6.4 (Orca 43) reads the label, and would say a description after it once more.
    box.setAccessibleDescription(text);
#endif
    UseRussianButtonTexts(box);
    windowing::DressMessageBox(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
