// SPDX-License-Identifier: GPL-3.0-or-later
#include "winegame.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace e2e {

namespace {

// A fresh prefix takes a few seconds on a quiet machine; much longer on a busy one.
constexpr int kPrefixTimeoutMs = 180000;
constexpr int kStopTimeoutMs = 10000;
// Wine's own faces as fonts-wine installs them: Tahoma, Marlett, MS Sans Serif and the rest.
constexpr char kWineFontsDir[] = "/usr/share/wine/fonts";

// Debian's Wine does not look where fonts-wine puts its faces, so a prefix lacks the faces
// Windows programs expect, and the system font "MS Shell Dlg" (Tahoma) falls back to a serif
// face. Copied into the prefix's Fonts folder they are found, as on Windows.
bool CopyWineFonts(const QString& prefix, QString* error) {
    const QDir fonts(prefix + QStringLiteral("/drive_c/windows/Fonts"));
    const QFileInfoList faces = QDir(QString::fromLatin1(kWineFontsDir))
                                    .entryInfoList({QStringLiteral("*.ttf")}, QDir::Files);
    if (faces.isEmpty() || !fonts.exists()) {
        *error = QStringLiteral("no Wine fonts in ") + QString::fromLatin1(kWineFontsDir) +
                 QStringLiteral(" or no Fonts folder in the prefix");
        return false;
    }
    for (const QFileInfo& face : faces) {
        if (!QFile::copy(face.filePath(), fonts.filePath(face.fileName())) &&
            !fonts.exists(face.fileName())) {
            *error = QStringLiteral("could not copy ") + face.filePath();
            return false;
        }
    }
    return true;
}

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
    return CopyWineFonts(prefix_.path(), error);
}

} // namespace e2e
