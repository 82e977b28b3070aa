// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;

// The frame shared by the program's dialogs: a fixed-size box with a close button only (no
// minimise, maximise or help button), the button-face colour as its background, opened in
// the middle of the screen, and Esc pressing the button named as its cancel button.
class FixedDialog : public QDialog {
    Q_OBJECT

public:
    explicit FixedDialog(QWidget* parent);

protected:
    // Call after the layout is built: locks the dialog at its current size.
    void FixSize();
    // Esc clicks `button`, so it runs that button's handler like a mouse click would.
    void SetCancelButton(QPushButton* button);

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* m_cancelButton = nullptr;
};
