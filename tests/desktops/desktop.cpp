// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop.h"

#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace desktops {

namespace {

constexpr int kStartTimeoutMs = 5000;

} // namespace

// Drivers, one per kind of session; defined beside their own tools.
std::unique_ptr<Desktop> MakeSwayDesktop();
std::unique_ptr<Desktop> MakeXHostedDesktop(const QString& name);

Desktop::Desktop() {
    // A fresh environment: nothing of the test's own display, bus or desktop leaks in.
    for (const auto& name : {u"PATH"_s, u"LANG"_s, u"TERM"_s})
        if (qEnvironmentVariableIsSet(qPrintable(name)))
            environment_.insert(name, qEnvironmentVariable(qPrintable(name)));
    environment_.insert(u"HOME"_s, folder_.path());
    environment_.insert(u"XDG_RUNTIME_DIR"_s, folder_.path());
    QFile::setPermissions(folder_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The session's programs end in reverse order of their start: the game's clients before the
// compositor, the compositor before the bus and the display server it draws on.
Desktop::~Desktop() {
    StopAll();
}

void Desktop::StopAll() {
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it)
        e2e::StopProcess(**it);
    processes_.clear();
}

QStringList Desktop::Names() {
    return {u"sway"_s, u"gnome-wayland"_s, u"gnome-x11"_s, u"kde-x11"_s, u"kde-wayland"_s};
}

std::unique_ptr<Desktop> Desktop::Make(const QString& name) {
    if (name == "sway"_L1)
        return MakeSwayDesktop();
    if (Names().contains(name))
        return MakeXHostedDesktop(name);
    return nullptr;
}

void Desktop::Prepare(QProcess& process) const {
    process.setProcessEnvironment(environment_);
    process.setWorkingDirectory(folder_.path());
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QProcess& Desktop::Launch(const QString& program, const QStringList& arguments,
                          QProcess::ProcessChannelMode channels) {
    auto& process = *processes_.emplace_back(std::make_unique<QProcess>());
    Prepare(process);
    process.setProcessChannelMode(channels);
    process.start(program, arguments);
    process.waitForStarted(kStartTimeoutMs);
    return process;
}

std::optional<QByteArray> Desktop::Run(const QStringList& command, int timeoutMs) const {
    QProcess process;
    Prepare(process);
    process.start(command.front(), command.mid(1));
    if (!process.waitForFinished(timeoutMs)) {
        e2e::StopProcess(process);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// The bus prints its address once it listens; every later program of the session finds it
// through the environment.
QString Desktop::StartBus() {
    QProcess& bus =
        Launch(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QByteArray address;
    e2e::PollUntil(
        [&] {
            address += bus.readAllStandardOutput();
            return address.contains('\n') || bus.state() != QProcess::Running;
        },
        kStartTimeoutMs, 50);
    if (!address.contains('\n'))
        return u"the session bus did not start: "_s + bus.errorString();
    environment_.insert(u"DBUS_SESSION_BUS_ADDRESS"_s,
                        QString::fromUtf8(address.left(address.indexOf('\n'))));
    return {};
}

bool Desktop::StartGame(QProcess& game, bool brokenDisplay) {
    if (gameCopy_.isEmpty()) {
        // A copy every user of the session can run, wherever the build lies, with the plugins
        // the game finds beside itself at the same places relative to it.
        const QFileInfo game(QStringLiteral(SDVIGUL_GAME_BINARY));
        const QDir copyDir(folder_.filePath(game.dir().dirName()));
        const QString copy = copyDir.filePath(game.fileName());
        if (!copyDir.mkpath(u"."_s) || !QFile::copy(game.filePath(), copy))
            return false;
#ifdef SDVIGUL_TITLEBAR_PLUGIN
        const QString plugin = QStringLiteral(SDVIGUL_TITLEBAR_PLUGIN);
        const QString pluginCopy =
            QDir::cleanPath(copyDir.filePath(game.dir().relativeFilePath(plugin)));
        if (!QDir().mkpath(QFileInfo(pluginCopy).path()) || !QFile::copy(plugin, pluginCopy))
            return false;
#endif
        gameCopy_ = copy;
    }
    Prepare(game);
    game.setProcessEnvironment(GameEnvironment(brokenDisplay));
    game.start(gameCopy_, {});
    return game.waitForStarted(kStartTimeoutMs);
}

std::optional<QStringList> Desktop::Titles(qint64) {
    return std::nullopt;
}

} // namespace desktops
