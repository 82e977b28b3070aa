// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clientshot.h"
#include "gamerun.h"
#include "solver.h"
#include "tilebacks.h"
#include "winegame.h"
#include "xsession.h"

#include <QPoint>
#include <QProcessEnvironment>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace e2e {

// What every real-window test needs: one X session per test program, one fresh game per case,
// and the player's actions that several cases share.
class E2eFixture {
public:
    // Chooser layout in its client area: picture k at (16 + 64·(k mod 5), 16 + 64·(k div 5)).
    static constexpr QSize kChooserSize{332, 238};
    static constexpr QPoint kAssortedBox{24, 216};
    static constexpr QPoint kChooserOk{192, 218};
    static QPoint ChooserPicture(int k) { return {40 + 64 * (k % 5), 40 + 64 * (k / 5)}; }

    E2eFixture();

    // Each returns an empty string when all went well, otherwise what failed.
    // With SDVIGUL_E2E_WINDOWS_GAME set, the session makes a Wine prefix and every game
    // started is that Windows build under Wine.
    QString StartSession();
    QString StartGame();
    // Starts another build of the game (the sanitized one, say) with `extra` in its environment.
    QString StartGame(const QString& program, const QProcessEnvironment& extra);
    // Keeps the last screenshot of a failed case and stops its game.
    QString FinishCase();

    XSession& X() { return x_; }
    // The Windows build under Wine, when that is what the cases play; otherwise null.
    const WineGame* Wine() const { return wine_.get(); }
    GameRun& Game() { return *game_; }
    const TileBacks& Backs() const { return backs_; }

    // F2 and wait for a dealt board (one empty cell) that differs from `before`, if given.
    ClientShot NewGameByF2(const ClientShot& before = {});
    static bool IsDealt(const ClientShot& shot) { return shot.EmptyCells().size() == 1; }

    // Switches to moving by click: "Игра" → "Сдвиг фишки" → "По клику".
    bool ClickModeByMouse();
    bool ClickModeByKeys();

    // Opens "Рубашка..." and waits for the chooser: a new window of 332 × 238 titled " ".
    std::optional<quint64> OpenChooserByMouse();
    std::optional<quint64> OpenChooserByKeys();
    std::optional<QRect> ChooserRect(quint64 chooser);
    // Ticks "Ассорти" in an open chooser and presses OK with the mouse.
    bool ChooseAssorted(quint64 chooser);

    // The position on a board whose tiles wear "Ассорти" (tile k shows picture k − 1).
    std::optional<Position> ReadPosition(const ClientShot& shot) const;
    // Waits until the board shows `expected`.
    bool WaitForPosition(const Position& expected, int timeoutMs);
    // Deals by F2 until the board, read by its "Ассорти" backs, can be solved; nullopt when no
    // such deal could be read within `maxDeals`.
    std::optional<Position> DealSolvable(int maxDeals);
    // Clicks the cells cells[from], …, cells[to − 1] one after the other in one go.
    void ClickCells(const std::vector<int>& cells, std::size_t from, std::size_t to);
    // Plays a deal to its end by real input: "Ассорти" backs (ticked in the chooser unless
    // the tiles already wear them), a solvable deal, click mode, then the solver's moves by
    // clicks, the board checked every few moves. The last move solves the board, which brings
    // the congratulation. Empty when every move was made, otherwise what failed.
    QString PlayToWin();

    // Waits for a visible window of the game with this exact title.
    std::optional<quint64> WaitForTitled(const QString& pattern, int timeoutMs);

private:
    std::optional<quint64> WaitForChooser(const QList<quint64>& known);

    XSession x_;
    std::unique_ptr<WineGame> wine_;
    TileBacks backs_;
    std::unique_ptr<GameRun> game_;
};

// A regular expression that matches exactly `text`.
QString ExactTitle(const QString& text);

} // namespace e2e
