// SPDX-License-Identifier: GPL-3.0-or-later
#include "orcarun.h"

#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

namespace e2e {

namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr char kEspeakModule[] = "/usr/lib/speech-dispatcher-modules/sd_espeak-ng";

// Sound goes nowhere, through ALSA's null device; the voice is espeak-ng.
constexpr char kSpeechdConf[] = "AudioOutputMethod \"alsa\"\n"
                                "AudioALSADevice \"null\"\n"
                                "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                                "DefaultModule espeak-ng\n"
                                "LogLevel 1\n";

// One spoken line of Orca's debug output: "SPEECH OUTPUT: 'text'", in some versions followed
// by the voice's settings in braces.
const QRegularExpression kSpokenLine(QStringLiteral("SPEECH OUTPUT: '(.*)'\\s*(?:\\{.*\\})?\\s*$"));

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size();
}

// The processes below `pid`, deepest first.
QList<qint64> Descendants(qint64 pid) {
    QList<qint64> found;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return found;
    for (const QByteArray& child : children.readAll().split(' ')) {
        if (const qint64 id = child.trimmed().toLongLong(); id > 1) {
            found += Descendants(id);
            found << id;
        }
    }
    return found;
}

} // namespace

OrcaRun::~OrcaRun() {
    Stop();
}

QString OrcaRun::Missing() {
    for (const char* program : {"orca", "speech-dispatcher", "script"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QString::fromLatin1(program);
    if (!QFileInfo::exists(QString::fromLatin1(kEspeakModule)))
        return QStringLiteral("speech-dispatcher-espeak-ng");
    return {};
}

bool OrcaRun::OtherOrcaRuns() {
    // Orca refuses to start while another Orca of the same user runs, as it asks pgrep.
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-u"), QString::number(::getuid()),
                                          QStringLiteral("-x"), QStringLiteral("orca")});
    return pgrep.waitForFinished(kStartTimeoutMs) && pgrep.exitCode() == 0;
}

QString OrcaRun::Start(QProcessEnvironment environment) {
    if (!dir_.isValid())
        return QStringLiteral("no temporary folder");
    const QString runtime = dir_.filePath(QStringLiteral("run"));
    const QString config = dir_.filePath(QStringLiteral("config"));
    if (!QDir().mkpath(runtime) ||
        !QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner) ||
        !WriteFile(config + QStringLiteral("/speech-dispatcher/speechd.conf"), kSpeechdConf) ||
        !QDir().mkpath(dir_.filePath(QStringLiteral("prefs"))))
        return QStringLiteral("Orca's private folders cannot be made");
    // speech-dispatcher finds its configuration, and Orca its speech-dispatcher, through these.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("HOME"), dir_.path());
    orca_.setProcessEnvironment(environment);
    orca_.setStandardOutputFile(QProcess::nullDevice());
    orca_.setStandardErrorFile(QProcess::nullDevice());
    XSession::TieToTest(orca_);
    const QString command = QStringLiteral("orca -u '%1' --debug-file /dev/stdout")
                                .arg(dir_.filePath(QStringLiteral("prefs")));
    orca_.start(QStringLiteral("script"),
                {QStringLiteral("-qfec"), command, dir_.filePath(QStringLiteral("orca.log"))});
    if (!orca_.waitForStarted(kStartTimeoutMs))
        return QStringLiteral("script does not start: ") + orca_.errorString();
    const bool speaks = PollUntil([this] { return !Said().isEmpty(); }, kStartTimeoutMs, 100);
    if (speaks)
        return {};
    QFile log(dir_.filePath(QStringLiteral("orca.log")));
    const QByteArray tail = log.open(QIODevice::ReadOnly) ? log.readAll().right(600) : QByteArray();
    return QStringLiteral("Orca said nothing; its output ends: ") + QString::fromUtf8(tail);
}

void OrcaRun::Stop() {
    if (orca_.state() == QProcess::NotRunning)
        return;
    // Orca runs below `script`; the speech-dispatcher it started leaves its id in the private
    // runtime folder. All end by their ids.
    QList<qint64> ids = Descendants(orca_.processId());
    QFile speechd(dir_.filePath(QStringLiteral("run/speech-dispatcher/pid/speech-dispatcher.pid")));
    if (speechd.open(QIODevice::ReadOnly))
        ids << speechd.readAll().trimmed().toLongLong();
    for (const qint64 pid : ids)
        if (pid > 1)
            ::kill(static_cast<pid_t>(pid), SIGTERM);
    orca_.terminate();
    if (!orca_.waitForFinished(3000))
        orca_.kill();
    orca_.waitForFinished();
}

void OrcaRun::ReadLog() {
    QFile log(dir_.filePath(QStringLiteral("orca.log")));
    if (!log.open(QIODevice::ReadOnly) || !log.seek(logRead_))
        return;
    const QByteArray added = log.readAll();
    logRead_ += added.size();
    QList<QByteArray> lines = (partialLine_ + added).split('\n');
    partialLine_ = lines.takeLast();
    for (const QByteArray& line : lines)
        if (const QRegularExpressionMatch spoken = kSpokenLine.match(QString::fromUtf8(line));
            spoken.hasMatch())
            said_ << spoken.captured(1).trimmed();
}

QStringList OrcaRun::Said() {
    ReadLog();
    return said_;
}

QString OrcaRun::SaidSince(int mark) {
    return Said().mid(mark).join(QLatin1Char(' '));
}

std::optional<QRegularExpressionMatch>
OrcaRun::WaitToHear(int mark, const QRegularExpression& pattern, int timeoutMs) {
    QRegularExpressionMatch match;
    const bool heard = PollUntil(
        [&] {
            match = pattern.match(SaidSince(mark));
            return match.hasMatch();
        },
        timeoutMs, 50);
    return heard ? std::optional(match) : std::nullopt;
}

} // namespace e2e
