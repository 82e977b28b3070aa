// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmabout.h"

#include "programicon.h"
#include "stringtable.h"
#include "textfit.h"
#include "version.h"

#include <QApplication>
#include <QIcon>

namespace {
constexpr int kTitleId = 40;
constexpr QSize kIconSize(32, 32);
} // namespace

frmAbout::frmAbout(QWidget* parent) : FixedDialog(parent) {
    ui.setupUi(this);
    FixSize();
    UseMenuColourBehindIcon();
    // OK is both the default and the cancel button: Enter and Esc press it.
    SetCancelButton(ui.cmdOK);
    connect(ui.cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    Form_Load();
    ui.cmdOK->setFocus();
}

void frmAbout::Form_Load() {
    setWindowTitle(res::LoadResString(kTitleId) + QString::fromUtf8(version::ProductName) +
                   QStringLiteral(" v") + QString::number(version::Major) + QLatin1Char('.') +
                   QString::number(version::Minor) + QLatin1Char('.') +
                   QString::number(version::Revision));
    ui.fCap->setTitle(res::CaptionFromStoredId(ui.fCap->title()));
    ui.lblAuthor->setText(res::CaptionFromStoredId(ui.lblAuthor->text()));
    ui.cmdOK->setText(res::CaptionFromStoredId(ui.cmdOK->text()));
    // The stored id has been replaced above; its trailing blank separates the credit.
    ui.lblAuthor->setText(ui.lblAuthor->text() + QString::fromUtf8(version::CompanyName));
    ui.lblDescription->setText(QString::fromUtf8(version::FileDescription));
    // Both labels wrap inside boxes drawn for a smaller font than the usual Linux one.
    res::FitLabelText(ui.lblDescription);
    res::FitLabelText(ui.lblAuthor);
    const QPixmap icon = OwnerIcon();
    ui.picIcon->setPixmap(icon);
    ui.picIcon->resize(icon.deviceIndependentSize().toSize());
}

void frmAbout::cmdOK_Click() {
    accept();
}

// The owner's icon rather than the layout's own picture; the program icon if there is none.
QPixmap frmAbout::OwnerIcon() const {
    QIcon icon = parentWidget() ? parentWidget()->windowIcon() : QIcon();
    if (icon.isNull())
        icon = res::ProgramIcon();
    return icon.pixmap(kIconSize, devicePixelRatioF());
}

// The dialog's background is the button face; the icon box keeps the menu colour.
void frmAbout::UseMenuColourBehindIcon() {
    QPalette menu = ui.picIcon->palette();
    menu.setColor(QPalette::Window, QApplication::palette("QMenu").color(QPalette::Window));
    ui.picIcon->setPalette(menu);
}
