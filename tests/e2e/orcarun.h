// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace e2e {

// The screen reader Orca, run as a blind player runs it, in a private setting: its own
// preferences folder (no first-run questions), its own speech-dispatcher whose sound goes to
// ALSA's null device (with no sound device it would hang, and Orca with it, at the first
// key), and its debug output read for every line it speaks. Orca writes that output as it
// goes only to a terminal, so it runs under `script`, which gives it a pseudo-terminal and
// copies everything into a file. It is never started with --replace, which would end every
// Orca of the same user.
class OrcaRun {
public:
    OrcaRun() = default;
    ~OrcaRun();
    OrcaRun(const OrcaRun&) = delete;
    OrcaRun& operator=(const OrcaRun&) = delete;

    // Empty when Orca, speech-dispatcher with espeak-ng and `script` are all installed,
    // otherwise what is missing.
    static QString Missing();
    // Whether the user runs another Orca already (another test, or the user's own): only one
    // may run at a time.
    static bool OtherOrcaRuns();

    // Starts Orca on the desktop that `environment` names (display and session bus) and waits
    // until it speaks. Empty when it does, otherwise what failed.
    QString Start(QProcessEnvironment environment);
    void Stop();

    // Everything spoken so far, one entry per spoken line.
    QStringList Said();
    // How many lines have been spoken: a mark for what follows.
    int Mark() { return static_cast<int>(Said().size()); }
    // The lines spoken since `mark`, joined by blanks.
    QString SaidSince(int mark);
    // Waits until the lines spoken since `mark`, joined by blanks, match `pattern`; the match,
    // or nullopt when it did not come within `timeoutMs`.
    std::optional<QRegularExpressionMatch> WaitToHear(int mark, const QRegularExpression& pattern,
                                                      int timeoutMs);

private:
    void ReadLog();

    QTemporaryDir dir_;
    QProcess orca_;
    qint64 logRead_ = 0;
    QByteArray partialLine_;
    QStringList said_;
};

} // namespace e2e
