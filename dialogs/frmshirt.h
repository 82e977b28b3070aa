// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fixeddialog.h"
#include "tilebacktarget.h"
#include "ui_frmshirt.h"

#include <QPixmap>

#include <array>

class QPushButton;
class ShirtImage;

// The tile-back chooser: fifteen pictures, one of them framed as the selection, the
// "Ассорти" tick, and OK / Cancel. The selection lives in a ShirtChoice owned by the game
// window, so it outlasts this dialog; clicks change it at once, OK dresses the tiles.
class frmShirt : public FixedDialog {
    Q_OBJECT

public:
    static constexpr int kPictures = 15;

    frmShirt(TileBackTarget& game, ShirtChoice& choice, QWidget* parent = nullptr);

    // The picture of img(k), 0..14; a null pixmap for any other k.
    QPixmap Picture(int k) const;

private:
    void Form_Load();
    void img_Click(int Index);
    void chk_Click();
    void cmd_Click(int Index);

    void BindControls();
    void ConnectHandlers();
    void DressTiles();
    static bool IsPictureIndex(int k) { return k >= 0 && k < kPictures; }

    Ui::frmShirt ui;
    TileBackTarget& m_game;
    ShirtChoice& m_choice;
    std::array<ShirtImage*, kPictures> img{};
    std::array<QPushButton*, 2> cmd{};
};
