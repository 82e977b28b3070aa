// SPDX-License-Identifier: GPL-3.0-or-later
#include "winegame.h"

#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace e2e {

namespace {

// A fresh prefix takes a few seconds on a quiet machine; much longer on a busy one.
constexpr int kPrefixTimeoutMs = 180000;
constexpr int kStopTimeoutMs = 10000;

} // namespace

QString WineGame::ExeFromEnvironment() {
    return qEnvironmentVariable("SDVIGUL_E2E_WINDOWS_GAME");
}

WineGame::WineGame(QString exe) : exe_(std::move(exe)) {}

WineGame::~WineGame() {
    // The Wine server of the prefix outlives its last program by a few seconds; it goes now,
    // before the prefix folder is removed.
    if (x_)
        RunInPrefix(*x_, {QStringLiteral("wineserver"), QStringLiteral("-k")}, kStopTimeoutMs);
}

QProcessEnvironment WineGame::Environment() const {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("WINEPREFIX"), prefix_.path());
    environment.insert(QStringLiteral("WINEARCH"), QStringLiteral("win64"));
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    // No offer to download Mono or Gecko into the prefix: the game needs neither.
    environment.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    return environment;
}

bool WineGame::RunInPrefix(const XSession& x, const QStringList& command, int timeoutMs,
                           QString* output) const {
    QProcess process;
    QProcessEnvironment environment = x.Environment();
    environment.insert(Environment());
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    XSession::TieToTest(process);
    process.start(command.front(), command.mid(1));
    const bool finished = process.waitForFinished(timeoutMs);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    if (!finished) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool WineGame::Prepare(const XSession& x, QString* error) {
    if (!QFileInfo(exe_).isFile()) {
        *error = QStringLiteral("no Windows game at ") + exe_;
        return false;
    }
    if (!prefix_.isValid()) {
        *error = QStringLiteral("no folder for the Wine prefix");
        return false;
    }
    x_ = &x;
    QString output;
    // wineboot makes the prefix; wineserver -w waits until everything it started has ended.
    if (!RunInPrefix(x, {QStringLiteral("wineboot"), QStringLiteral("--init")}, kPrefixTimeoutMs,
                     &output) ||
        !RunInPrefix(x, {QStringLiteral("wineserver"), QStringLiteral("-w")}, kPrefixTimeoutMs)) {
        *error = QStringLiteral("the Wine prefix could not be made: ") + output.right(2000);
        return false;
    }
    return true;
}

} // namespace e2e
