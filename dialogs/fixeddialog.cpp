// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixeddialog.h"

#include "windowing.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

// A dialog with an owner is transient for it, which keeps it out of the task bar.
FixedDialog::FixedDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | windowing::FixedFrameFlags()) {
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);
}

void FixedDialog::FixSize() {
    setFixedSize(size());
}

void FixedDialog::SetCancelButton(QPushButton* button) {
    m_cancelButton = button;
}

void FixedDialog::keyPressEvent(QKeyEvent* event) {
    const bool plainEscape = event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
    if (plainEscape && m_cancelButton && m_cancelButton->isVisible() &&
        m_cancelButton->isEnabled()) {
        m_cancelButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FixedDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // QDialog has just put the box over its owner; it belongs in the middle of the screen.
    // This runs before the window is mapped, so it appears there at once, and wide enough for
    // a title bar that Qt draws itself.
    if (!event->spontaneous()) {
        windowing::DressDialog(*this);
    }
}
