// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xsession.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace e2e {

// The Windows build of the game, run under Wine in a Wine prefix of the test's own, so that
// the real-window tests can play it as they play the Linux build. The variable
// SDVIGUL_E2E_WINDOWS_GAME names its sdvigul.exe; without it the tests play the Linux build.
class WineGame {
public:
    // The game's .exe when the tests are to play the Windows build, otherwise empty.
    static QString ExeFromEnvironment();

    explicit WineGame(QString exe);
    ~WineGame();
    WineGame(const WineGame&) = delete;
    WineGame& operator=(const WineGame&) = delete;

    // Makes the Wine prefix on the session's display; false with a reason in `error`.
    bool Prepare(const XSession& x, QString* error);
    // What GameRun starts: Wine with the .exe as its argument.
    static QString Program() { return QStringLiteral("wine"); }
    QStringList Arguments() const { return {exe_}; }
    // Added to the environment of everything started in the prefix.
    QProcessEnvironment Environment() const;
    QString Exe() const { return exe_; }

private:
    bool RunInPrefix(const XSession& x, const QStringList& command, int timeoutMs,
                     QString* output = nullptr) const;

    QString exe_;
    QTemporaryDir prefix_;
    const XSession* x_ = nullptr;
};

} // namespace e2e
