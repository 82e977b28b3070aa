// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpfile.h"
#include "helpviewer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <utility>

#include <sys/stat.h>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

enum class Occupant { Nothing, Directory, Fifo, LinkToDevZero, DanglingLink };

bool CreateOccupant(const QString& path, Occupant occupant) {
    switch (occupant) {
    case Occupant::Nothing:
        return true;
    case Occupant::Directory:
        return QDir().mkdir(path);
    case Occupant::Fifo:
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    case Occupant::LinkToDevZero:
        return QFile::link(QStringLiteral("/dev/zero"), path);
    case Occupant::DanglingLink:
        return QFile::link(path + QStringLiteral(".gone"), path);
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Occupant)

class TestHelpFile : public QObject {
    Q_OBJECT

private slots:
    void notARegularFileIsMissing_data();
    void notARegularFileIsMissing();
    void findsNameInAnyCase_data();
    void findsNameInAnyCase();
    void decodesText_data();
    void decodesText();
    void stopsAtByteLimit_data();
    void stopsAtByteLimit();
    void hugeFileReadsOnlyTheLimit();
    void binaryFileHasNoControlCharacters();
    void overlongLinesAreBroken_data();
    void overlongLinesAreBroken();
    void viewerShowsHugeLineQuickly();
    void viewerIsReusedNonModalAndClosesOnEsc();
};

void TestHelpFile::notARegularFileIsMissing_data() {
    QTest::addColumn<Occupant>("occupant");
    QTest::newRow("nothing") << Occupant::Nothing;
    QTest::newRow("directory") << Occupant::Directory;
    QTest::newRow("fifo") << Occupant::Fifo;
    QTest::newRow("link to /dev/zero") << Occupant::LinkToDevZero;
    QTest::newRow("dangling link") << Occupant::DanglingLink;
}

// Both the lookup and a direct read (a FIFO swapped in after the lookup) must say "missing"
// at once; a blocking open or read would hang the test.
void TestHelpFile::notARegularFileIsMissing() {
    QFETCH(Occupant, occupant);
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("help.txt"));
    QVERIFY(CreateOccupant(path, occupant));

    QVERIFY(!help::FindHelpFile(dir.path()));
    QVERIFY(!help::ReadHelpFile(path));
    QVERIFY(!help::LoadHelp(dir.path()));
}

void TestHelpFile::findsNameInAnyCase_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("directories");
    QTest::addColumn<QString>("linkToFile");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upper case") << QStringList{"HELP.TXT"} << QStringList{} << QString()
                                << "HELP.TXT";
    QTest::newRow("exact name preferred") << QStringList{"HELP.TXT", "Help.txt", "help.txt"}
                                          << QStringList{} << QString() << "help.txt";
    QTest::newRow("first name when none exact") << QStringList{"help.TXT", "Help.txt", "HELP.TXT"}
                                                << QStringList{} << QString() << "HELP.TXT";
    QTest::newRow("directory of exact name skipped")
        << QStringList{"Help.Txt"} << QStringList{"help.txt"} << QString() << "Help.Txt";
    QTest::newRow("link to a file counts") << QStringList{} << QStringList{} << "Help.txt"
                                           << "Help.txt";
    QTest::newRow("similar names ignored")
        << QStringList{"help.txt.bak", "ahelp.txt", "help.tx", "help_txt"} << QStringList{}
        << QString() << QString();
}

void TestHelpFile::findsNameInAnyCase() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, directories);
    QFETCH(QString, linkToFile);
    QFETCH(QString, expected);
    const QTemporaryDir dir;
    for (const QString& name : files) {
        QVERIFY(WriteFile(dir.filePath(name), name.toUtf8()));
    }
    for (const QString& name : directories) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    }
    if (!linkToFile.isEmpty()) {
        QVERIFY(WriteFile(dir.filePath("target.dat"), "linked"));
        QVERIFY(QFile::link(dir.filePath("target.dat"), dir.filePath(linkToFile)));
    }

    const std::optional<help::HelpText> help = help::LoadHelp(dir.path());
    if (expected.isEmpty()) {
        QVERIFY(!help);
        return;
    }
    QVERIFY(help);
    QCOMPARE(help->fileName, expected);
    QCOMPARE(help::FindHelpFile(dir.path()), dir.filePath(expected));
}

void TestHelpFile::decodesText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString text = QStringLiteral("Правила: «Ёж» — №1, ёлка.");
    const QByteArray utf16le = QByteArray(reinterpret_cast<const char*>(text.utf16()),
                                          text.size() * 2); // the test hosts are little-endian
    QByteArray utf16be = utf16le;
    for (qsizetype i = 0; i + 1 < utf16be.size(); i += 2) {
        std::swap(utf16be[i], utf16be[i + 1]);
    }

    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("utf-8") << text.toUtf8() << text;
    QTest::newRow("windows-1251") << QByteArray(
                                         "\xCF\xF0\xE0\xE2\xE8\xEB\xE0: \xAB\xA8\xE6\xBB \x97 \xB9"
                                         "1, \xB8\xEB\xEA\xE0.")
                                  << text;
    QTest::newRow("windows-1251 unassigned 0x98")
        << QByteArray("\x98\xC0\xFF") << QStringLiteral("\uFFFDАя");
    QTest::newRow("utf-8 with bom") << "\xEF\xBB\xBF" + text.toUtf8() << text;
    QTest::newRow("utf-16 le with bom") << "\xFF\xFE" + utf16le << text;
    QTest::newRow("utf-16 be with bom") << "\xFE\xFF" + utf16be << text;
    QTest::newRow("cr lf and lone cr")
        << QByteArray("one\r\ntwo\rthree\n\r\n") << QStringLiteral("one\ntwo\nthree\n\n");
    QTest::newRow("controls replaced")
        << QByteArray("a\0b\x1B\tc\x7F", 7) << QStringLiteral("a\uFFFDb\uFFFD\tc\uFFFD");
    QTest::newRow("overlong utf-8 is not utf-8")
        << QByteArray("\xC0\xAF") << QStringLiteral("А\u0407");
}

void TestHelpFile::decodesText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("help.txt"), bytes));

    const std::optional<help::HelpText> help = help::LoadHelp(dir.path());
    QVERIFY(help);
    QCOMPARE(help->text, expected);
    QVERIFY(!help->truncated);
}

void TestHelpFile::stopsAtByteLimit_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("truncated");

    QTest::newRow("utf-8 character cut at limit")
        << QStringLiteral("аб").toUtf8() << qint64(3) << QStringLiteral("а") << true;
    // The same bytes as a whole file are not UTF-8.
    QTest::newRow("utf-8 character cut at end of file")
        << QByteArray("\xD0\xB0\xD0") << qint64(100) << QStringLiteral("Р°Р") << false;
    QTest::newRow("utf-8 with bom cut after a malformed byte")
        << "\xEF\xBB\xBF\xFF" + QStringLiteral("аб").toUtf8() << qint64(7)
        << QStringLiteral("\uFFFDа") << true;
    QTest::newRow("utf-16 pair cut at limit") << QByteArray("\xFF\xFE"
                                                            "a\0"
                                                            "\x3D\xD8\x00\xDE",
                                                            8)
                                              << qint64(6) << QStringLiteral("a") << true;
    QTest::newRow("file exactly at limit")
        << QByteArray("abc") << qint64(3) << QStringLiteral("abc") << false;
}

void TestHelpFile::stopsAtByteLimit() {
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, maxBytes);
    QFETCH(QString, expected);
    QFETCH(bool, truncated);
    const QTemporaryDir dir;
    const QString path = dir.filePath("help.txt");
    QVERIFY(WriteFile(path, bytes));

    const std::optional<help::HelpText> help = help::ReadHelpFile(path, maxBytes);
    QVERIFY(help);
    QCOMPARE(help->text, expected);
    QCOMPARE(help->truncated, truncated);
}

void TestHelpFile::hugeFileReadsOnlyTheLimit() {
    const QTemporaryDir dir;
    const QString path = dir.filePath("help.txt");
    const QString start = QStringLiteral("Начало");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(start.toUtf8()) > 0);
        QVERIFY(file.resize(50'000'000)); // sparse: zeros after the text
    }
    QElapsedTimer timer;
    timer.start();
    const std::optional<help::HelpText> help = help::LoadHelp(dir.path());
    QVERIFY(help);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(help->truncated);
    QVERIFY(help->text.startsWith(start));
    // Each Cyrillic letter took two bytes; each of the other bytes is one character. The line
    // feeds are the breaks of the one overlong line.
    QCOMPARE(help->text.size() - help->text.count(u'\n'), help::kMaxHelpBytes - start.size());
}

void TestHelpFile::binaryFileHasNoControlCharacters() {
    QByteArray bytes;
    for (int round = 0; round < 4; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes.append(static_cast<char>(value));
        }
    }
    const QString text = help::DecodeHelpText(bytes);
    QCOMPARE(text.size(), bytes.size()); // not UTF-8: one character per byte
    for (const QChar c : text) {
        QVERIFY2(c.unicode() >= 0x20 || c == u'\t' || c == u'\n',
                 qPrintable(QString::number(c.unicode(), 16)));
    }
}

void TestHelpFile::overlongLinesAreBroken_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<int>("lines");

    const qsizetype limit = help::kMaxLineLength;
    const QString pair = QStringLiteral("\U0001F600");
    QTest::newRow("at the limit") << QString(limit, u'x') << limit << 1;
    QTest::newRow("one past the limit") << QString(limit + 1, u'x') << limit << 2;
    // A break at an odd offset would fall inside a surrogate pair.
    QTest::newRow("surrogate pairs") << u'x' + pair.repeated(limit) << limit << 2;
    QTest::newRow("short length") << QStringLiteral("abcdefg") << qsizetype(3) << 3;
    QTest::newRow("one pair a line") << u'x' + pair.repeated(3) << qsizetype(1) << 4;
    QTest::newRow("length 0 taken as 1") << QStringLiteral("abc") << qsizetype(0) << 3;
}

void TestHelpFile::overlongLinesAreBroken() {
    QFETCH(QString, line);
    QFETCH(qsizetype, length);
    QFETCH(int, lines);
    const QString text = help::DecodeHelpText((line + u'\n' + line).toUtf8(), false, length);

    const QStringList shown = text.split(u'\n');
    QCOMPARE(shown.size(), 2 * lines);
    for (const QString& part : shown) {
        QVERIFY(part.toUcs4().size() <= std::max<qsizetype>(length, 1));
        QVERIFY(QStringView(part).isValidUtf16());
    }
    QCOMPARE(shown.mid(0, lines).join(QString()), line);
}

// A file of zeros is one line of a million replacement characters; laid out in one piece it
// would freeze the window for a minute.
void TestHelpFile::viewerShowsHugeLineQuickly() {
    QWidget owner;
    auto* const viewer = new HelpViewer(&owner);
    const QString text = help::DecodeHelpText(QByteArray(help::kMaxHelpBytes, '\0'));
    QElapsedTimer timer;
    timer.start();
    viewer->ShowText({QStringLiteral("help.txt"), text, true});
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->resize(300, 500);
    QCoreApplication::processEvents();
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

void TestHelpFile::viewerIsReusedNonModalAndClosesOnEsc() {
    QWidget owner;
    owner.show();
    QPointer<HelpViewer> viewer = new HelpViewer(&owner);

    viewer->ShowText({QStringLiteral("help.txt"), QStringLiteral("первый"), false});
    QVERIFY(QTest::qWaitForWindowActive(viewer));
    QVERIFY(viewer->isWindow());
    QVERIFY(!viewer->isModal());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("help.txt - Сдвигуль"));
    QCOMPARE(viewer->text(), QStringLiteral("первый"));
    QVERIFY(viewer->isAncestorOf(QApplication::focusWidget()));

    viewer->ShowText({QStringLiteral("HELP.TXT"), QStringLiteral("второй"), false});
    QCOMPARE(owner.findChildren<HelpViewer*>().size(), 1);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("HELP.TXT - Сдвигуль"));
    QCOMPARE(viewer->text(), QStringLiteral("второй"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!viewer->isVisible());
    QVERIFY(owner.isVisible());

    viewer->ShowText({QStringLiteral("help.txt"), QStringLiteral("третий"), false});
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->text(), QStringLiteral("третий"));
}

QTEST_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
