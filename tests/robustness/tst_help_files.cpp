// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"
#include "sanitizedgame.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>

using namespace e2e;
using robust::SanitizedGame;

namespace {

// F1 must bring up the message or the viewer within this, or the game counts as hung.
constexpr int kAnswerMs = 5000;
// Growth of the resident size over the size before F1. The game reads at most 1 MB of a help
// file; a file read whole, or an endless device, would pass this.
constexpr qint64 kMemoryBoundKiB = 100 * 1024;
constexpr qint64 kHugeFileBytes = 50LL * 1024 * 1024;
constexpr int kBinaryFileBytes = 64 * 1024;
// After the window shows, the viewer goes on laying out its text for a while.
constexpr int kLayoutSettleMs = 1500;
constexpr int kExitTimeoutMs = 20000;
constexpr int kMinTextPixels = 50;
const QString kAppTitle = QStringLiteral("Сдвигуль");
const QString kRules = QStringLiteral(
    "Правила игры\n"
    "Передвигайте фишки на пустое место, пока они не встанут по порядку: от 1 до 15 слева "
    "направо и сверху вниз. Ёлка, ёж и щётка — для проверки букв Ё и ё.\n");

// What a case puts into the game's working directory before F1.
enum class HelpFile {
    Nothing,
    Directory,
    Fifo,
    LinkToDevZero,
    DanglingLink,
    Huge,
    HugeOneLine,
    Binary,
    Utf8,
    Windows1251,
    OtherLetterCase,
};

// Russian text in Windows-1251: А..я are 0xC0..0xFF, Ё and ё 0xA8 and 0xB8; the dash and
// anything else outside those become '-'.
QByteArray ToWindows1251(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            bytes += static_cast<char>(u);
        else if (u >= 0x0410 && u <= 0x044F)
            bytes += static_cast<char>(0xC0 + (u - 0x0410));
        else if (u == 0x0401)
            bytes += static_cast<char>(0xA8);
        else if (u == 0x0451)
            bytes += static_cast<char>(0xB8);
        else
            bytes += '-';
    }
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// 50 MB of text, written in pieces so the test itself stays small. Without line ends it is
// one line, the hardest case for the viewer's layout.
bool WriteHugeFile(const QString& path, bool lineEnds) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QString text = kRules;
    if (!lineEnds)
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray block = text.toUtf8().repeated(4096);
    for (qint64 written = 0; written < kHugeFileBytes; written += block.size())
        if (file.write(block) != block.size())
            return false;
    return true;
}

QByteArray BinaryBytes() {
    QRandomGenerator random(20240607); // the same bytes every run
    QByteArray bytes(kBinaryFileBytes, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    bytes[0] = '\0'; // NUL right at the start, as in most binary formats
    return bytes;
}

bool Put(HelpFile file, const QString& directory) {
    const QString path = directory + QStringLiteral("/help.txt");
    switch (file) {
    case HelpFile::Nothing:
        return true;
    case HelpFile::Directory:
        return QDir().mkdir(path);
    case HelpFile::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case HelpFile::LinkToDevZero:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case HelpFile::DanglingLink:
        return QFile::link(directory + QStringLiteral("/gone.txt"), path);
    case HelpFile::Huge:
        return WriteHugeFile(path, true);
    case HelpFile::HugeOneLine:
        return WriteHugeFile(path, false);
    case HelpFile::Binary:
        return WriteFile(path, BinaryBytes());
    case HelpFile::Utf8:
        return WriteFile(path, kRules.toUtf8());
    case HelpFile::Windows1251:
        return WriteFile(path, ToWindows1251(kRules));
    case HelpFile::OtherLetterCase:
        return WriteFile(directory + QStringLiteral("/HELP.TXT"), kRules.toUtf8());
    }
    return false;
}

// A "Name:   1234 kB" line of /proc/PID/status, in KiB; nullopt once the process is gone.
std::optional<qint64> StatusKiB(qint64 pid, const QByteArray& name) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':')) {
            bool ok = false;
            const qint64 kib =
                line.mid(name.size() + 1).trimmed().split(' ').front().toLongLong(&ok);
            return ok ? std::optional<qint64>(kib) : std::nullopt;
        }
    return std::nullopt;
}

// Dark pixels of an area of the screen: text drawn on a light background.
int DarkPixels(const QImage& screen, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(screen.pixel(x, y)) < 100)
                ++dark;
    return dark;
}

} // namespace

Q_DECLARE_METATYPE(HelpFile)

// F1 with whatever a player may have left in the game's directory under the help file's name,
// in the sanitized game: it must answer within seconds, with the missing-help message or the
// viewer, stay within a memory bound, go on dealing afterwards and end cleanly.
class TestHelpFiles : public E2eTestCase {
    Q_OBJECT

protected:
    QString StartCaseGame() override { return SanitizedGame::Start(f_); }

private slots:

    void f1Answers_data();
    void f1Answers();

private:
    // Waits for the help window that `title` names; on time-out says which windows are open.
    std::optional<quint64> WaitForHelpWindow(const QString& title, QString* why);
};

void TestHelpFiles::f1Answers_data() {
    QTest::addColumn<HelpFile>("file");
    QTest::addColumn<QString>("shownName"); // in the viewer's title; empty: the message shows

    QTest::newRow("nothing") << HelpFile::Nothing << QString();
    QTest::newRow("directory named help.txt") << HelpFile::Directory << QString();
    QTest::newRow("FIFO named help.txt") << HelpFile::Fifo << QString();
    QTest::newRow("link to /dev/zero") << HelpFile::LinkToDevZero << QString();
    QTest::newRow("dangling link") << HelpFile::DanglingLink << QString();
    QTest::newRow("50 MB file") << HelpFile::Huge << QStringLiteral("help.txt");
    QTest::newRow("50 MB in one line") << HelpFile::HugeOneLine << QStringLiteral("help.txt");
    QTest::newRow("binary file") << HelpFile::Binary << QStringLiteral("help.txt");
    QTest::newRow("UTF-8 text") << HelpFile::Utf8 << QStringLiteral("help.txt");
    QTest::newRow("Windows-1251 text") << HelpFile::Windows1251 << QStringLiteral("help.txt");
    QTest::newRow("HELP.TXT") << HelpFile::OtherLetterCase << QStringLiteral("HELP.TXT");
}

std::optional<quint64> TestHelpFiles::WaitForHelpWindow(const QString& title, QString* why) {
    const auto window = f_.WaitForTitled(ExactTitle(title), kAnswerMs);
    if (window)
        return window;
    QStringList open;
    for (const quint64 other : f_.Game().OtherWindows())
        open << QLatin1Char('"') + f_.X().WindowName(other).value_or(QString()) + QLatin1Char('"');
    *why = QStringLiteral("no window \"%1\" within %2 ms (hung?); open: %3; %4")
               .arg(title)
               .arg(kAnswerMs)
               .arg(open.isEmpty() ? QStringLiteral("none") : open.join(QStringLiteral(", ")))
               .arg(SanitizedGame::Report(f_.Game()));
    return std::nullopt;
}

void TestHelpFiles::f1Answers() {
    QFETCH(HelpFile, file);
    QFETCH(QString, shownName);
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    QVERIFY2(Put(file, game.WorkDir()), "the help file could not be put in place");
    const ClientShot dealt = f_.NewGameByF2();
    QVERIFY(!dealt.IsNull());
    const auto residentBefore = StatusKiB(game.Pid(), "VmRSS");
    QVERIFY(residentBefore);

    QElapsedTimer answer;
    answer.start();
    x.Keys({QStringLiteral("F1")});
    const bool viewer = !shownName.isEmpty();
    const QString title = viewer ? shownName + QStringLiteral(" - ") + kAppTitle : kAppTitle;
    QString why;
    const auto window = WaitForHelpWindow(title, &why);
    QVERIFY2(window, qPrintable(why));
    qInfo("\"%s\" showed %lld ms after F1", qPrintable(title), answer.elapsed());

    if (viewer) {
        const auto info = x.Window(*window);
        QVERIFY(info);
        QVERIFY2(
            PollUntil([&] { return DarkPixels(x.Screenshot(), info->client) >= kMinTextPixels; },
                      kAnswerMs),
            "the viewer shows no text");
    }
    QTest::qWait(kLayoutSettleMs);
    const auto peak = StatusKiB(game.Pid(), "VmHWM");
    QVERIFY2(peak, "the game is gone");
    qInfo("resident before F1 %lld KiB, peak since start %lld KiB", *residentBefore, *peak);
    QVERIFY2(*peak - *residentBefore < kMemoryBoundKiB,
             qPrintable(QStringLiteral("F1 took %1 MiB").arg((*peak - *residentBefore) / 1024)));

    if (!viewer) {
        QVERIFY(x.Activate(*window));
        x.Keys({QStringLiteral("Return")});
        QVERIFY2(game.WaitUntilGone(*window, kAnswerMs), "Enter did not close the message");
    }
    // The viewer may stay open beside the game; the game goes on either way.
    QVERIFY(game.Activate());
    QVERIFY2(!f_.NewGameByF2(dealt).IsNull(), "F2 dealt no new board after F1");
    QVERIFY(game.RequestClose());
    const QString problem = SanitizedGame::ExpectCleanExit(game, kExitTimeoutMs);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestHelpFiles)
#include "tst_help_files.moc"
