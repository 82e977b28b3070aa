// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmshirt.h"

#include "shirtaccessible.h"
#include "shirtimage.h"
#include "stringtable.h"

#include <QCheckBox>
#include <QPushButton>

namespace {
constexpr int kOk = 0;
constexpr int kCancel = 1;
constexpr int kFirstTile = 1;
constexpr int kLastTile = 15;

// The layout holds the 48 px pictures; a denser screen gets the ones drawn for it, which are
// then also the pictures the tiles are dressed in.
void UsePicturesForRatio(const std::array<ShirtImage*, frmShirt::kPictures>& pictures,
                         qreal ratio) {
    if (!(ratio > 1.0))
        return;
    for (int k = 0; k < frmShirt::kPictures; ++k)
        pictures[k]->setPixmap(TileBackPicture(k, ratio));
}
} // namespace

frmShirt::frmShirt(TileBackTarget& game, ShirtChoice& choice, QWidget* parent)
    : FixedDialog(parent), m_game(game), m_choice(choice) {
    ui.setupUi(this);
    // A single blank: the box shows no title text, and an empty title would be replaced by
    // the application's name. (uic drops a blank title from the layout, so it is set here.)
    setWindowTitle(QStringLiteral(" "));
    FixSize();
    BindControls();
    shirt_a11y::SetUp(*this, {img.begin(), img.end()});
    UsePicturesForRatio(img, devicePixelRatioF());
    SetCancelButton(cmd[kCancel]);
    ConnectHandlers();
    Form_Load();
    cmd[kOk]->setFocus();
}

QPixmap frmShirt::Picture(int k) const {
    return IsPictureIndex(k) ? img[k]->pixmap() : QPixmap();
}

void frmShirt::BindControls() {
    img = {ui.img_0, ui.img_1, ui.img_2,  ui.img_3,  ui.img_4,  ui.img_5,  ui.img_6, ui.img_7,
           ui.img_8, ui.img_9, ui.img_10, ui.img_11, ui.img_12, ui.img_13, ui.img_14};
    cmd = {ui.cmd_0, ui.cmd_1};
}

void frmShirt::ConnectHandlers() {
    for (int i = 0; i < kPictures; ++i)
        connect(img[i], &ShirtImage::clicked, this, [this, i] { img_Click(i); });
    for (int i = 0; i < static_cast<int>(cmd.size()); ++i)
        connect(cmd[i], &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
    // toggled also follows keyboard changes of the tick; see Form_Load for the load step.
    connect(ui.chk, &QCheckBox::toggled, this, &frmShirt::chk_Click);
}

void frmShirt::Form_Load() {
    for (QPushButton* const button : cmd)
        button->setText(res::CaptionFromStoredId(button->text()));
    ui.chk->setText(res::CaptionFromStoredId(ui.chk->text()));
    // The tick's reaction copies the tick back into bMixed, so restoring it changes nothing.
    ui.chk->setChecked(m_choice.bMixed);
    // A selection that names no picture falls back to the first one rather than to nothing.
    if (!IsPictureIndex(m_choice.i_Shirt))
        m_choice.i_Shirt = 0;
    img_Click(m_choice.i_Shirt);
}

void frmShirt::img_Click(int Index) {
    if (!IsPictureIndex(Index))
        return;
    for (ShirtImage* const picture : img)
        picture->setBordered(false);
    img[Index]->setBordered(true);
    m_choice.i_Shirt = Index;
    shirt_a11y::SelectionChanged({img.begin(), img.end()});
}

void frmShirt::chk_Click() {
    m_choice.bMixed = ui.chk->isChecked();
}

void frmShirt::cmd_Click(int Index) {
    if (Index == kOk) {
        DressTiles();
        accept();
    } else {
        reject();
    }
}

// Tile k gets picture k - 1 with "Ассорти", otherwise every tile gets the selected one; the
// numbers are painted afresh because a new picture wipes them.
void frmShirt::DressTiles() {
    for (int tile = kFirstTile; tile <= kLastTile; ++tile) {
        const int picture = m_choice.bMixed ? tile - 1 : m_choice.i_Shirt;
        m_game.SetTilePicture(tile, img[picture]->pixmap());
    }
    m_game.PaintNumbers();
}
