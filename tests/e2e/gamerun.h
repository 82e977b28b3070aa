// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clientshot.h"
#include "xsession.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace e2e {

// An open menu: its window, where it is on the screen and where its entries are in it.
struct OpenMenu {
    quint64 window = 0;
    QRect rect;           // absolute
    QList<QRect> entries; // relative to `rect`, top to bottom
    QPoint EntryCentre(int entry) const { return rect.topLeft() + entries.at(entry).center(); }
};

// One run of the game: its own process in a fresh working directory, its main window, and
// the player's view of it (cells, menus, screenshots of the client area).
class GameRun {
public:
    static constexpr int kMenuTitleGame = 0; // "Игра"
    static constexpr int kMenuTitleHelp = 1; // "Справка"

    GameRun(XSession& x, QString program);
    ~GameRun();
    GameRun(const GameRun&) = delete;
    GameRun& operator=(const GameRun&) = delete;

    // The game's working directory, empty at start; a case may put a help file there.
    QString WorkDir() const;
    // Variables added to the game's environment when it starts (sanitizer options, say).
    void AddEnvironment(const QProcessEnvironment& extra) { extraEnvironment_.insert(extra); }
    // The file that collects everything the game writes to its standard output and error.
    QString LogPath() const;
    // Starts the game and waits for its main window, then brings it to the front.
    bool Start(QString* error);
    qint64 Pid() const { return process_.processId(); }
    // Time since the game's process was started.
    qint64 MsSinceStart() const { return sinceStart_.elapsed(); }
    quint64 MainWindow() const { return mainWindow_; }
    bool Activate();

    // The game ended by itself within `timeoutMs`: its exit status, otherwise nullopt.
    std::optional<int> WaitForExit(int timeoutMs);
    // Asks the window manager to close the main window, as its close box does.
    bool RequestClose();
    // Closes the main window, killing the game if it lingers. An empty answer means the game
    // was running until then (or ended when a case asked it to); otherwise what went wrong.
    QString Stop();
    QString Log() const;

    // Absolute screen geometry of the client area (the last one read) and of the menu bar.
    bool ReadGeometry();
    std::optional<WindowInfo> MainInfo() { return x_.Window(mainWindow_); }
    QRect ClientRect() const { return client_; }
    QRect MenuBarRect() const { return menuBar_; }
    QPoint ToScreen(QPoint clientPoint) const { return client_.topLeft() + clientPoint; }
    QPoint CellCentre(int cell) const { return ToScreen(ClientShot::CellRect(cell).center()); }

    ClientShot Shot();
    // Screenshots until `done` holds; a null shot on time-out. A settled shot is one that the
    // next screenshot repeats, so that no half-painted window is taken for the game's state;
    // while the master plays, nothing settles.
    enum class Settle { Yes, No };
    ClientShot WaitForShot(const std::function<bool(const ClientShot&)>& done, int timeoutMs,
                           Settle settle = Settle::Yes);

    // Real input on the board.
    void DragCell(int from, int to) { x_.Drag(CellCentre(from), CellCentre(to)); }
    void ClickCell(int cell) { x_.Click(CellCentre(cell)); }

    // Menus. The titles of the menu bar found in a screenshot, left to right (absolute).
    QList<QRect> MenuBarTitles();
    // Opens menu `title` with a click and waits until it shows its entries.
    std::optional<OpenMenu> OpenMenuByMouse(int title);
    // Sends `keys` (the menu's Alt+letter) and waits until a menu shows.
    std::optional<OpenMenu> OpenMenuByKeys(const QStringList& keys);
    // Clicks `path` through the menus, e.g. {0, 2, 0}: title 0, its entry 2 (a submenu), that
    // submenu's entry 0. True when each menu opened and every menu is gone afterwards.
    bool ChooseByMouse(int title, const QList<int>& path);
    // Visible windows of the game other than the main window and its menus.
    QList<quint64> OtherWindows();
    // Waits for a visible window of the game, other than `known` ones, that `matches`.
    std::optional<quint64> WaitForWindow(const QList<quint64>& known,
                                         const std::function<bool(quint64)>& matches,
                                         int timeoutMs);
    // Waits for visible windows of the game with this exact title (regular expression).
    QList<quint64> WindowsTitled(const QString& pattern);
    bool WaitUntilGone(quint64 window, int timeoutMs);
    // The game centres its main window and its dialogs on the screen, and once more when the
    // window manager has framed them: until then a window may still move. True once the
    // window's frame stands in the middle of the screen.
    bool IsCentred(quint64 window);
    bool WaitUntilCentred(quint64 window, int timeoutMs);
    bool MenusClosed();

    // Waits for a menu that is not among the `known` windows, e.g. a submenu after a click.
    std::optional<OpenMenu> WaitForMenu(const QList<quint64>& known);

private:
    XSession& x_;
    QString program_;
    QProcessEnvironment extraEnvironment_;
    QTemporaryDir workDir_;
    QProcess process_;
    quint64 mainWindow_ = 0;
    QRect client_;
    QRect menuBar_;
    bool exitExpected_ = false;
    QElapsedTimer sinceStart_;
};

} // namespace e2e
