// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "e2efixture.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <random>

namespace robust {

// Random real input on the sanitized game: clicks and drags anywhere in the window but mostly
// on the board, F2 and Ctrl+F3, the hint, the move mode and the master through the menus by
// mouse and keyboard, the tile-back chooser and the about box, help with and without a help
// file, now and then a stray key. The master is switched back on most of the time it is
// found off. Every box that shows is answered sooner or later, so the run goes on; a game
// that ends (No in the congratulation, a stray click on "Выход") must end with status 0 and
// no sanitizer report, and is started again.
//
// The seed fixes every choice the monkey makes; the timing of the game's answers does not
// repeat exactly, so a replay takes the same path only as long as the game answers alike.
class Monkey {
public:
    Monkey(e2e::E2eFixture& fixture, quint32 seed);

    // Plays for `milliseconds`: empty when the game came through, otherwise what went wrong.
    QString Play(qint64 milliseconds);
    // Closes every box, menu and the help viewer and brings the main window to the front:
    // empty when nothing is left open, otherwise what stays.
    QString CloseEverything();

    // Counts for the log: actions, games ended and started again, the master's share.
    QString Summary() const;
    // Of the looks at a dealt board, the share that found the master running.
    double MasterShare() const;
    int DealtLooks() const { return dealtLooks_; }
    // The last actions, oldest first, with their time since the start.
    QString History() const;

private:
    struct Action {
        const char* name;
        int weight;
        void (Monkey::*run)();
    };
    static constexpr std::size_t kActionCount = 15;
    static const std::array<Action, kActionCount> kActions;
    enum class Kind { Congratulation, ModalBox, HelpViewer, Menu };

    // What the board shows: dealt or not, master running or not.
    void Look();
    void KeepMasterRunning();
    // Index into kActions, drawn by weight.
    std::size_t PickAction();
    // Answers or closes what opened, or leaves a box open for the next action to meet.
    QString Tend();
    // The game's process ended: fine when with status 0 and no report; then it starts again.
    QString CheckStillRunning();
    QString StartAgain();
    QString AnswerCongratulation(quint64 box);
    QString Dismiss(quint64 box, const QString& name);
    void CloseMenus();
    static Kind Classify(const QString& name);

    // The actions.
    void ClickBoard();
    void DragOnBoard();
    void ClickWindow();
    void DragInWindow();
    void NewGameKey();
    void MasterKey();
    void HintMenu();
    void ModeMenu();
    void MasterMenu();
    void NewGameMenu();
    void OpenChooser();
    void OpenAbout();
    void Help();
    void StrayKey();
    void PlayToWin();

    // Input helpers.
    void Drag(QPoint from, QPoint to);
    void Click(QPoint at);
    void Keys(const QStringList& keys);
    // Opens "Игра" (or "Справка") by mouse and clicks `path`, or by its access key and types
    // the entries' access letters; a menu that does not open is only noted.
    void ChooseInMenu(int title, const QList<int>& mousePath, const QStringList& letters);
    void FocusMainWindow();

    // Chance and places.
    int Uniform(int lowest, int highest);
    bool Chance(double probability);
    QPoint PointIn(const QRect& area);
    QRect BoardRect() const;
    QRect WindowRect() const;
    QPoint NearCellCentre(int cell);

    void Note(const QString& what);

    e2e::E2eFixture& f_;
    std::mt19937 random_;
    QElapsedTimer clock_;
    QElapsedTimer lastWin_;
    QStringList history_;
    bool dealt_ = false;
    bool masterRunning_ = false;
    bool seenDealt_ = false; // this game process has dealt at least once
    int actions_ = 0;
    std::array<int, kActionCount> actionCounts_{};
    int restarts_ = 0;
    int boxesLeftOpen_ = 0; // in a row, so that a box never stays for long
    int dealtLooks_ = 0;
    int masterLooks_ = 0;
};

} // namespace robust
