// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "boards.h"
#include "cellwidget.h"
#include "frmgame.h"
#include "scriptedrandom.h"
#include "stringtable.h"
#include "tilewidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <memory>

// A main window on a scripted generator and a settable clock.
struct GameFixture {
    FakeClock clock;
    ScriptedRandom random;
    std::unique_ptr<frmGame> game = std::make_unique<frmGame>(clock, random);

    // New game, dealing tile k into cells[k - 1].
    void Deal(std::initializer_list<int> cells) { Deal(BoardWithCells(cells)); }
    void Deal(const board::Board& b) {
        random.PushDeal(b);
        game->mnuGame_Click(0);
    }
    void DealWithFreeCell(int freeCell) { Deal(DealableWithFreeCell(freeCell)); }
    void DealOneFromSolved() { Deal(OneFromSolved()); }

    // The widget tree agrees with the board: every tile is a child of its cell at (0, 0), and
    // shown whenever the window is.
    bool TreeMatchesBoard() const {
        const board::Board& b = game->Session().CurrentBoard();
        if (!b.IsConsistent())
            return false;
        for (int k = 1; k <= 15; ++k) {
            const TileWidget* tile = game->Tile(k);
            if (tile->parentWidget() != game->Cell(b.CellOf(static_cast<board::TileNo>(k))) ||
                tile->pos() != QPoint(0, 0) || tile->isHidden() ||
                tile->isVisible() != game->isVisible())
                return false;
        }
        return true;
    }
};

// The numbers painted on tiles 1..15: a blank where a sign would stand, then the digits.
inline const QStringList kNumberTexts = {QString(), " 1", " 2",  " 3",  " 4",  " 5",  " 6",  " 7",
                                         " 8",      " 9", " 10", " 11", " 12", " 13", " 14", " 15"};

// Runs `act` once the next modal window (a dialog or a message box) is open.
inline void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        if (QWidget* modal = QApplication::activeModalWidget())
            act(modal);
    });
}

// Runs `inspect` once the next modal message box is open, then presses `answer` in it;
// with QMessageBox::NoButton the inspection answers the box itself.
inline void AnswerNextMessageBox(QMessageBox::StandardButton answer,
                                 std::function<void(QMessageBox*)> inspect = {}) {
    OnNextModal([answer, inspect](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        if (inspect)
            inspect(box);
        if (answer == QMessageBox::NoButton)
            return;
        if (QAbstractButton* button = box->button(answer))
            button->click();
        else
            box->reject();
    });
}

inline QColor ColorAt(QWidget* widget, int x, int y) {
    return widget->grab().toImage().pixelColor(x, y);
}
