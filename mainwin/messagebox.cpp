// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagebox.h"

#include "windowplacement.h"

#include <QAbstractButton>
#include <QGridLayout>

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

// QMessageBox sizes itself to its layout whenever the layout changes, and a short text makes
// a box too narrow for its title where Qt draws the title bar; a blank row as wide as the
// title bar needs keeps it wide enough.
void MakeRoomForTitle(QMessageBox& box, const QWidget* owner) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || !owner || !res::DrawsOwnTitleBar(*owner))
        return;
    grid->addItem(new QSpacerItem(res::OwnTitleBarWidth(box.windowTitle()), 0, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
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
    MakeRoomForTitle(box, owner);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
