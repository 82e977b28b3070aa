// SPDX-License-Identifier: GPL-3.0-or-later
// Desktops whose screen is an Xvfb: an X11 window manager on it, or a Wayland compositor
// that shows its output as a window on it. Either way xdotool types on the screen and import
// takes screenshots of it.
#include "desktop.h"
#include "titleink.h"

#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

using e2e::PollUntil;
using namespace Qt::StringLiterals;

namespace desktops {

namespace {

constexpr int kReadyTimeoutMs = 20000;
constexpr char kSocket[] = "wayland-sdvigul";

enum class Kind { GnomeWayland, GnomeX11, KdeX11, KdeWayland };

class XHostedDesktop : public Desktop {
public:
    explicit XHostedDesktop(Kind kind) : kind_(kind) {}
    ~XHostedDesktop() override { StopAll(); } // before the X server goes

    QString Start() override;
    bool IsWayland() const override {
        return kind_ == Kind::GnomeWayland || kind_ == Kind::KdeWayland;
    }
    bool GameDrawsTitleBar() const override { return kind_ == Kind::GnomeWayland; }
    // Qt marks a modal box as such from 6.8 on (xdg-dialog), and mutter from 46 on keeps the
    // pointer from the window the box belongs to.
    bool ModalBoxBlocksOwner() const override {
        return kind_ == Kind::GnomeWayland && QT_VERSION >= QT_VERSION_CHECK(6, 8, 0) &&
               mutterMajor_ >= 46;
    }
    QImage Screenshot() override { return x_.Screenshot(); }
    bool Keys(const QStringList& keys) override {
        return x_.Xdotool(QStringList{u"key"_s, u"--delay"_s, u"60"_s} + keys);
    }
    // KWin's global shortcuts switch desktops with Ctrl+F1 … Ctrl+F4 (as run on Wayland here,
    // it has none).
    bool KeepsKey(const QString& key) const override {
        return kind_ == Kind::KdeX11 && key.startsWith("ctrl+F"_L1);
    }
    std::optional<QStringList> Titles(qint64 pid) override;
    QString Maximise(qint64 pid) override;
    QString Close(qint64 pid) override;

protected:
    QProcessEnvironment GameEnvironment(bool brokenDisplay) const override;

private:
    QString Compositor() const;
    QStringList CompositorArguments() const;
    QString StartWindowManager();
    QString StartCompositor();
    QList<quint64> X11Windows(qint64 pid);
    // wmctrl on the game's first X11 window; an empty answer when it worked.
    QString WmctrlOnGame(qint64 pid, const QStringList& arguments);
    std::optional<QStringList> RunKWinScript(const QString& body);

    Kind kind_;
    e2e::XSession x_;
    QProcess* compositor_ = nullptr;
    int scripts_ = 0;
    int mutterMajor_ = 0;
};

QString XHostedDesktop::Compositor() const {
    switch (kind_) {
    case Kind::GnomeWayland:
    case Kind::GnomeX11:
        return u"mutter"_s;
    case Kind::KdeX11:
        return u"kwin_x11"_s;
    case Kind::KdeWayland:
        return u"kwin_wayland"_s;
    }
    return {};
}

QStringList XHostedDesktop::CompositorArguments() const {
    switch (kind_) {
    case Kind::GnomeWayland:
        return {u"--nested"_s, u"--wayland"_s, u"--no-x11"_s, u"--wayland-display"_s,
                QLatin1String(kSocket)};
    case Kind::GnomeX11:
        return {u"--x11"_s, u"--replace"_s};
    case Kind::KdeX11:
        return {u"--replace"_s};
    case Kind::KdeWayland:
        return {u"--x11-display"_s,         x_.Display(),  u"--no-lockscreen"_s,
                u"--no-global-shortcuts"_s, u"--socket"_s, QLatin1String(kSocket)};
    }
    return {};
}

QString XHostedDesktop::Start() {
    const QString program = QStandardPaths::findExecutable(Compositor());
    if (program.isEmpty())
        return Compositor() + u" is not installed"_s;
    if (Compositor() == "mutter"_L1)
        if (const auto version = Run({program, u"--version"_s}))
            mutterMajor_ = QRegularExpression(u"mutter (\\d+)"_s)
                               .match(QString::fromUtf8(*version))
                               .captured(1)
                               .toInt();
    QString problem;
    if (!x_.StartServerOnly(&problem))
        return problem;
    Environment().insert(u"DISPLAY"_s, x_.Display());
    Environment().insert(u"XDG_CURRENT_DESKTOP"_s,
                         Compositor() == "mutter"_L1 ? u"GNOME"_s : u"KDE"_s);
    Environment().insert(u"XDG_SESSION_TYPE"_s, IsWayland() ? u"wayland"_s : u"x11"_s);
    // The nested compositor's output, a window on the Xvfb, fills its screen.
    Environment().insert(u"MUTTER_DEBUG_DUMMY_MODE_SPECS"_s, u"1024x768"_s);
    problem = StartBus();
    if (problem.isEmpty())
        problem = IsWayland() ? StartCompositor() : StartWindowManager();
    return problem;
}

// The window manager announces itself on the root window once it manages the screen.
QString XHostedDesktop::StartWindowManager() {
    compositor_ = &Launch(Compositor(), CompositorArguments());
    const bool managed = PollUntil(
        [&] {
            const auto check = x_.Run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
            return compositor_->state() != QProcess::Running ||
                   (check && check->contains("window id"));
        },
        kReadyTimeoutMs, 200);
    if (managed && compositor_->state() == QProcess::Running)
        return {};
    return Compositor() + u" did not take over the screen: "_s +
           QString::fromLocal8Bit(compositor_->readAllStandardError().right(400));
}

// The compositor is up once its socket is there (and, for KWin, its scripting interface).
// The installed kwin_wayland carries a file capability that exec refuses in a container
// without it; a plain copy under the same name runs the same.
QString XHostedDesktop::StartCompositor() {
    QString program = Compositor();
    if (kind_ == Kind::KdeWayland) {
        const QString bin = QDir(Folder()).filePath(u"bin"_s);
        QDir().mkpath(bin);
        program = bin + u'/' + Compositor();
        if (!QFile::copy(QStandardPaths::findExecutable(Compositor()), program))
            return u"cannot copy kwin_wayland"_s;
        Environment().insert(u"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"_s, u"1"_s);
        // KWin 6 prints what a script prints only when its scripting category is on.
        Environment().insert(u"QT_LOGGING_RULES"_s, u"kwin_scripting=true"_s);
    }
    // KWin prints what its scripts print among its own messages.
    compositor_ = &Launch(program, CompositorArguments(), QProcess::MergedChannels);
    const QString socket = QDir(Folder()).filePath(QLatin1String(kSocket));
    const bool up = PollUntil(
        [&] {
            if (compositor_->state() != QProcess::Running)
                return true;
            if (!QFile::exists(socket))
                return false;
            return kind_ != Kind::KdeWayland || RunKWinScript({}).has_value();
        },
        kReadyTimeoutMs, 200);
    if (up && compositor_->state() == QProcess::Running)
        return {};
    return Compositor() + u" did not start: "_s + compositor_->errorString() + u' ' +
           QString::fromLocal8Bit(compositor_->readAll().right(400));
}

QProcessEnvironment XHostedDesktop::GameEnvironment(bool brokenDisplay) const {
    QProcessEnvironment environment = Environment();
    if (IsWayland()) {
        // A client of the compositor only: Qt must not fall back to the Xvfb under it.
        environment.remove(u"DISPLAY"_s);
        environment.insert(u"WAYLAND_DISPLAY"_s,
                           brokenDisplay ? u"wayland-none"_s : QLatin1String(kSocket));
    } else if (brokenDisplay) {
        environment.insert(u"DISPLAY"_s, u":none"_s);
    }
    return environment;
}

// The game's visible X windows, the main window (the tallest) first.
QList<quint64> XHostedDesktop::X11Windows(qint64 pid) {
    QList<std::pair<int, quint64>> found;
    for (const quint64 window : x_.VisibleWindowsOfPid(pid))
        if (const auto info = x_.Window(window))
            found.append({-info->client.height(), window});
    std::sort(found.begin(), found.end());
    QList<quint64> windows;
    for (const auto& [height, window] : found)
        windows << window;
    return windows;
}

// Runs a script in KWin through its scripting interface; the script's print() lines come out
// on KWin's own output, where they are read back up to the end mark this adds.
std::optional<QStringList> XHostedDesktop::RunKWinScript(const QString& body) {
    const int number = ++scripts_;
    const QString name = u"sdvigul%1"_s.arg(number);
    const QString end = u"sdvigul-end %1"_s.arg(number);
    QFile file(QDir(Folder()).filePath(name + u".js"_s));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write((body + u"\nprint(\"%1\");\n"_s.arg(end)).toUtf8()) < 0)
        return std::nullopt;
    file.close();
    const QString bus = u"org.kde.KWin"_s;
    const auto loaded = Run({u"dbus-send"_s, u"--session"_s, u"--print-reply"_s, u"--dest="_s + bus,
                             u"/Scripting"_s, u"org.kde.kwin.Scripting.loadScript"_s,
                             u"string:"_s + file.fileName(), u"string:"_s + name});
    const auto id = loaded ? QRegularExpression(u"int32 (\\d+)"_s).match(QString::fromUtf8(*loaded))
                           : QRegularExpressionMatch();
    if (!id.hasMatch())
        return std::nullopt;
    // The loaded script's object: /Scripting/ScriptN in KWin 6, /N in KWin 5.
    const auto runAt = [&](const QString& path) {
        return Run({u"dbus-send"_s, u"--session"_s, u"--print-reply"_s, u"--dest="_s + bus, path,
                    u"org.kde.kwin.Script.run"_s})
            .has_value();
    };
    QByteArray output;
    const bool ran = (runAt(u"/Scripting/Script"_s + id.captured(1)) ||
                      runAt(u"/"_s + id.captured(1))) &&
                     PollUntil(
                         [&] {
                             output += compositor_->readAll();
                             return output.contains(end.toUtf8());
                         },
                         5000, 50);
    Run({u"dbus-send"_s, u"--session"_s, u"--print-reply"_s, u"--dest="_s + bus, u"/Scripting"_s,
         u"org.kde.kwin.Scripting.unloadScript"_s, u"string:"_s + name});
    if (!ran)
        return std::nullopt;
    QStringList lines;
    for (const QByteArray& line : output.split('\n'))
        if (const qsizetype at = line.indexOf("js: sdvigul "); at >= 0)
            lines << QString::fromUtf8(line.mid(at + 12));
    return lines;
}

// A KWin script line that finds the game's windows, main window (no transient) first.
QString KWinWindowsOf(qint64 pid) {
    // KWin 6 renamed the list of windows (clientList in KWin 5).
    return u"const windows = (workspace.windowList ? workspace.windowList() : "
           "workspace.clientList()).filter(w => w.pid == %1)"
           ".sort((a, b) => a.transient - b.transient);"_s.arg(pid);
}

std::optional<QStringList> XHostedDesktop::Titles(qint64 pid) {
    switch (kind_) {
    case Kind::GnomeWayland:
        return std::nullopt; // mutter lists windows only to gnome-shell
    case Kind::KdeWayland:
        return RunKWinScript(KWinWindowsOf(pid) +
                             u"for (const w of windows) print(\"sdvigul \" + w.caption);"_s);
    case Kind::GnomeX11:
    case Kind::KdeX11:
        break;
    }
    QStringList titles;
    for (const quint64 window : X11Windows(pid))
        if (const auto name = x_.WindowName(window))
            titles << *name;
    return titles;
}

QString XHostedDesktop::Maximise(qint64 pid) {
    switch (kind_) {
    case Kind::GnomeWayland:
        // mutter's own key for maximising the focused window.
        return Keys({u"super+Up"_s}) ? QString() : u"xdotool failed"_s;
    case Kind::KdeWayland:
        return RunKWinScript(KWinWindowsOf(pid) + u"windows[0].setMaximize(true, true);"_s)
                   ? QString()
                   : u"the KWin script failed"_s;
    case Kind::GnomeX11:
    case Kind::KdeX11:
        break;
    }
    return WmctrlOnGame(pid, {u"-r"_s, u"-b"_s, u"add,maximized_vert,maximized_horz"_s});
}

// mutter leaves the decoration of a Wayland window to the client: Qt draws it with the close
// box at its right end, level with the title, which sits 35 px above the board area.
QString XHostedDesktop::Close(qint64 pid) {
    switch (kind_) {
    case Kind::GnomeWayland: {
        const auto board = FindBoardArea(Screenshot());
        if (!board)
            return u"the game's window does not show"_s;
        x_.Click(QPoint(board->right() - 13, board->top() - 35));
        return {};
    }
    case Kind::KdeWayland:
        return RunKWinScript(KWinWindowsOf(pid) + u"windows[0].closeWindow();"_s)
                   ? QString()
                   : u"the KWin script failed"_s;
    case Kind::GnomeX11:
    case Kind::KdeX11:
        break;
    }
    // The window manager's close request, as its close box sends it.
    return WmctrlOnGame(pid, {u"-c"_s});
}

QString XHostedDesktop::WmctrlOnGame(qint64 pid, const QStringList& arguments) {
    const QList<quint64> windows = X11Windows(pid);
    if (windows.isEmpty())
        return u"no window of the game"_s;
    // -i: the window is named by its id, which follows the first argument (-r or -c).
    QStringList command{u"-i"_s, arguments.front(), QString::number(windows.front())};
    command += arguments.mid(1);
    return x_.Run(u"wmctrl"_s, command) ? QString() : u"wmctrl failed"_s;
}

} // namespace

std::unique_ptr<Desktop> MakeXHostedDesktop(const QString& name) {
    const std::pair<QLatin1StringView, Kind> kinds[] = {{"gnome-wayland"_L1, Kind::GnomeWayland},
                                                        {"gnome-x11"_L1, Kind::GnomeX11},
                                                        {"kde-x11"_L1, Kind::KdeX11},
                                                        {"kde-wayland"_L1, Kind::KdeWayland}};
    for (const auto& [known, kind] : kinds)
        if (name == known)
            return std::make_unique<XHostedDesktop>(kind);
    return nullptr;
}

} // namespace desktops
