// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fixeddialog.h"
#include "ui_frmabout.h"

// The about box: the program's name and version in the title, its description, the author
// credit and the owner window's icon. It keeps no state; every box is filled afresh.
class frmAbout : public FixedDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

private:
    void Form_Load();
    void cmdOK_Click();

    QPixmap OwnerIcon() const;
    void UseMenuColourBehindIcon();

    Ui::frmAbout ui;
};
