// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace desktops {

// One desktop session, started by the test and private to it: its own runtime folder (0700),
// session bus, display server and window manager or compositor. The scenario sees the game
// only through what a player has: the screen, the keyboard and the desktop's own ways to
// maximise and close a window. Everything the session starts dies with it.
class Desktop {
public:
    virtual ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // The names the scenario is run with: sway, gnome-wayland, gnome-x11, kde-x11, kde-wayland.
    static QStringList Names();
    // nullptr for a name that is none of them.
    static std::unique_ptr<Desktop> Make(const QString& name);

    // Starts the session. Empty when it is up, otherwise why this desktop cannot run here.
    virtual QString Start() = 0;
    // True when the game runs as a Wayland client here.
    virtual bool IsWayland() const = 0;
    // True where the compositor leaves the title bars to its clients, so the game draws its own.
    virtual bool GameDrawsTitleBar() const { return false; }
    // True where the desktop keeps the pointer from a window while a modal box of its stands
    // over it, so that the window's close button cannot be pressed then.
    virtual bool ModalBoxBlocksOwner() const { return false; }
    // Starts the game in the session; `brokenDisplay` points it at a display that is not there.
    bool StartGame(QProcess& game, bool brokenDisplay = false);

    // The whole screen as the desktop shows it; null when the screenshot fails.
    virtual QImage Screenshot() = 0;
    // Presses and releases keys, each named as xdotool names it ("F1", "ctrl+F3").
    virtual bool Keys(const QStringList& keys) = 0;
    // True when the desktop keeps this key for itself, so that no window ever sees it.
    virtual bool KeepsKey(const QString&) const { return false; }
    // The titles of the game's windows as the desktop lists them, main window first; nullopt
    // where the desktop offers no list to a client outside the session.
    virtual std::optional<QStringList> Titles(qint64 pid);
    // Asks the window manager to maximise the game's main window. Empty when asked, otherwise
    // why it could not; "-" when this desktop has no maximising at all.
    virtual QString Maximise(qint64 pid) = 0;
    // Closes the game's main window the way this desktop's close box or close request does.
    virtual QString Close(qint64 pid) = 0;

protected:
    Desktop();
    // The session's folder: runtime folder, home and the game's working folder.
    QString Folder() const { return folder_.path(); }
    QProcessEnvironment& Environment() { return environment_; }
    const QProcessEnvironment& Environment() const { return environment_; }
    // Ties `process` to the session: its environment, folder, and its end with the test.
    virtual void Prepare(QProcess& process) const;
    // The game's environment, built from the session's.
    virtual QProcessEnvironment GameEnvironment(bool brokenDisplay) const = 0;
    // Starts a long-lived program of the session; it is stopped when the session ends.
    QProcess& Launch(const QString& program, const QStringList& arguments,
                     QProcess::ProcessChannelMode channels = QProcess::SeparateChannels);
    // Runs a short-lived program of the session and waits for it; nullopt when it fails.
    std::optional<QByteArray> Run(const QStringList& command, int timeoutMs = 5000) const;
    // Starts the session's own message bus and puts its address in the environment.
    QString StartBus();
    // Stops what Launch started, last first; a driver whose own members serve the session
    // (its display server) calls it before they go.
    void StopAll();

private:
    QTemporaryDir folder_;
    QProcessEnvironment environment_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    QString gameCopy_;
};

} // namespace desktops
