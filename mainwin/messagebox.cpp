// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagebox.h"

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
    UseRussianButtonTexts(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
