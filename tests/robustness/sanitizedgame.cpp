// SPDX-License-Identifier: GPL-3.0-or-later
#include "sanitizedgame.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace robust {

namespace {

// The first line of every report the sanitizers write; "fatal error" is LeakSanitizer failing
// to look at all, which must not pass for "no leaks".
const char* const kReportMarkers[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                      "runtime error:", "Sanitizer has encountered a fatal error"};
constexpr int kReportLines = 60;
constexpr int kTailChars = 3000;

QString ReadOutput(const e2e::GameRun& game) {
    QFile log(game.LogPath());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll());
}

bool StartsReport(const QString& line) {
    for (const char* marker : kReportMarkers)
        if (line.contains(QLatin1String(marker)))
            return true;
    return false;
}

} // namespace

QString SanitizedGame::Program() {
    return QStringLiteral(SDVIGUL_SANITIZED_GAME);
}

QProcessEnvironment SanitizedGame::Environment() {
    QProcessEnvironment environment;
    // Full stacks for every allocation (the slow unwinder): Qt is built without frame
    // pointers, and a leak inside Qt then shows only its innermost frame, too little to tell
    // one of Qt's own leaks from one the game causes.
    environment.insert(
        QStringLiteral("ASAN_OPTIONS"),
        QStringLiteral("abort_on_error=0:halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0"));
    environment.insert(QStringLiteral("UBSAN_OPTIONS"),
                       QStringLiteral("print_stacktrace=1:halt_on_error=1"));
    environment.insert(QStringLiteral("LSAN_OPTIONS"),
                       QStringLiteral("suppressions=%1:print_suppressions=0")
                           .arg(QStringLiteral(SDVIGUL_LSAN_SUPPRESSIONS)));
    return environment;
}

QString SanitizedGame::Start(e2e::E2eFixture& fixture) {
    if (!QFileInfo(Program()).isExecutable())
        return QStringLiteral("no sanitized game at %1: the robustness_sanitized_build test "
                              "builds it")
            .arg(Program());
    return fixture.StartGame(Program(), Environment());
}

QString SanitizedGame::Report(const e2e::GameRun& game) {
    const QStringList lines = ReadOutput(game).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (StartsReport(lines[i]))
            return lines.mid(i, kReportLines).join(QLatin1Char('\n'));
    return {};
}

QString SanitizedGame::OutputTail(const e2e::GameRun& game) {
    return ReadOutput(game).right(kTailChars);
}

QString SanitizedGame::ExpectCleanExit(e2e::GameRun& game, int timeoutMs) {
    const std::optional<int> status = game.WaitForExit(timeoutMs);
    const QString report = Report(game);
    if (!report.isEmpty())
        return QStringLiteral("sanitizer report:\n") + report;
    if (!status) {
        // processId() is 0 once the process is gone: then it crashed instead of ending.
        return game.Pid() != 0 ? QStringLiteral("the game did not end within %1 ms").arg(timeoutMs)
                               : QStringLiteral("the game crashed; output:\n") + OutputTail(game);
    }
    if (*status != 0)
        return QStringLiteral("the game ended with status %1; output:\n%2")
            .arg(*status)
            .arg(OutputTail(game));
    return {};
}

} // namespace robust
