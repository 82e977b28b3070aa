// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark's own machinery: a wrong /proc field, a wrong median or a program left running
// would put a wrong number in the table without any other sign.
#include "benchsummary.h"
#include "childprocess.h"
#include "monoclock.h"
#include "procsample.h"

#include <QtTest>

#include <signal.h>
#include <unistd.h>

#include <string>

namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

// The table line whose first cell starts with `label`, or empty.
QString TableLine(const std::string& table, const QString& label) {
    const QStringList lines = QString::fromStdString(table).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("| ") + label))
            return line;
    }
    return {};
}

// True once `pid` has ended (gone, or a zombie waiting for its parent).
bool Ended(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) == "Z";
}

} // namespace

class tst_Bench : public QObject {
    Q_OBJECT

private slots:
    void kbField_data();
    void kbField();
    void cpuTicksFromStat_data();
    void cpuTicksFromStat();
    void countSharedLibraries_data();
    void countSharedLibraries();
    void summarize_data();
    void summarize();
    void parseRecord_data();
    void parseRecord();
    void unreadableValuesAreLeftOut();
    void tableJudgesTargets_data();
    void tableJudgesTargets();
    void readsARunningProcess();
    void stampsTheClockBeforeExec();
    void refusesWhatCannotRun_data();
    void refusesWhatCannotRun();
    void stopEndsTheWholeProcessGroup();
};

void tst_Bench::kbField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("expected"); // -1: no value

    QTest::newRow("status VmRSS")
        << "Name:\tsdvigul\nVmPeak:\t  500000 kB\nVmRSS:\t   31484 kB\nThreads:\t3\n"
        << "VmRSS" << qint64(31484);
    QTest::newRow("rollup Pss, not Pss_Anon before it")
        << "00400000-7ffd ---p 00000000 00:00 0 [rollup]\nRss: 500 kB\nPss_Anon: 7 kB\n"
           "Pss: 300 kB\n"
        << "Pss" << qint64(300);
    QTest::newRow("a longer name is another field") << "VmRSSx:\t5 kB\n"
                                                    << "VmRSS" << qint64(-1);
    QTest::newRow("missing") << "VmPeak:\t5 kB\n"
                             << "VmRSS" << qint64(-1);
    QTest::newRow("no number") << "VmRSS:\t kB\n"
                               << "VmRSS" << qint64(-1);
}

void tst_Bench::kbField() {
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(qint64, expected);
    QCOMPARE(bench::KbField(Std(text), Std(name)).value_or(-1), expected);
}

void tst_Bench::cpuTicksFromStat_data() {
    QTest::addColumn<QString>("stat");
    QTest::addColumn<qint64>("expected"); // -1: unreadable

    // Fields 3..13, then utime 17 and stime 4.
    const QString rest = QStringLiteral(" S 1 1234 1234 0 -1 4194304 500 0 0 0 17 4 0 0 20 0 3 0");
    QTest::newRow("plain name") << "1234 (sdvigul)" + rest << qint64(21);
    QTest::newRow("name with blanks and parentheses") << "99 (a) b (c))" + rest << qint64(21);
    QTest::newRow("cut short") << "99 (x) S 1 2 3" << qint64(-1);
    QTest::newRow("no name") << "99 x S 1" << qint64(-1);
}

void tst_Bench::cpuTicksFromStat() {
    QFETCH(QString, stat);
    QFETCH(qint64, expected);
    QCOMPARE(bench::CpuTicksFromStat(Std(stat)).value_or(-1), expected);
}

void tst_Bench::countSharedLibraries_data() {
    QTest::addColumn<QString>("maps");
    QTest::addColumn<int>("expected");

    const QString core = QStringLiteral("/usr/lib/x86_64-linux-gnu/libQt6Core.so.6.4.2\n");
    QTest::newRow("one library in four segments counts once")
        << "7f00-7f01 r--p 00000000 08:01 11 " + core + "7f01-7f02 r-xp 00001000 08:01 11 " + core +
               "7f02-7f03 r--p 00002000 08:01 11 " + core + "7f03-7f04 rw-p 00003000 08:01 11 " +
               core
        << 1;
    QTest::newRow("versioned names and the loader")
        << "7f00-7f01 r--p 0 08:01 11 /usr/lib/x86_64-linux-gnu/libc.so.6\n"
           "7f01-7f02 r--p 0 08:01 12 /usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2\n"
           "7f02-7f03 r--p 0 08:01 13 /usr/lib/qt6/plugins/platforms/libqxcb.so\n"
        << 3;
    QTest::newRow("what is not a library")
        << "5500-5501 r--p 0 08:01 10 /work/main/build/app/sdvigul\n"
           "5600-5700 rw-p 0 00:00 0 [heap]\n"
           "7f00-7f01 rw-p 0 00:00 0 \n"
           "7f01-7f02 r--p 0 08:01 14 /usr/lib/locale/locale-archive\n"
           "7f02-7f03 rw-s 0 00:01 15 /memfd:xorg (deleted)\n"
           "7f03-7f04 r--p 0 08:01 16 /usr/share/sounds/x.sox\n"
           "7f04-7f05 r--p 0 08:01 17 /opt/lib.so.d/data.bin\n"
        << 0;
    QTest::newRow("a replaced library still counts")
        << "7f00-7f01 r--p 0 08:01 11 /usr/lib/libold.so.1 (deleted)\n"
        << 1;
    QTest::newRow("blanks in the path") << "7f00-7f01 r--p 0 08:01 11 /opt/my games/libgame.so\n"
                                        << 1;
}

void tst_Bench::countSharedLibraries() {
    QFETCH(QString, maps);
    QFETCH(int, expected);
    QCOMPARE(bench::CountSharedLibraries(Std(maps)), expected);
}

void tst_Bench::summarize_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("max");

    QTest::newRow("odd count, unsorted") << QList<double>{30, 10, 20} << 10.0 << 20.0 << 30.0;
    QTest::newRow("even count: mean of the middle two")
        << QList<double>{4, 1, 3, 2} << 1.0 << 2.5 << 4.0;
    QTest::newRow("one value") << QList<double>{7} << 7.0 << 7.0 << 7.0;
}

void tst_Bench::summarize() {
    QFETCH(QList<double>, values);
    QFETCH(double, min);
    QFETCH(double, median);
    QFETCH(double, max);
    const auto summary = bench::Summarize(std::vector<double>(values.begin(), values.end()));
    QVERIFY(summary);
    QCOMPARE(summary->min, min);
    QCOMPARE(summary->median, median);
    QCOMPARE(summary->max, max);
    QCOMPARE(summary->count, static_cast<std::size_t>(values.size()));
    QVERIFY(!bench::Summarize({}));
}

void tst_Bench::parseRecord_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("a measurement") << "ours start 3 map_ms 41.25" << true << 41.25;
    QTest::newRow("an unreadable value is kept as -1") << "sgt idle 1 s2.rss_kb -1" << true << -1.0;
    QTest::newRow("a field missing") << "ours start map_ms 41.25" << false << 0.0;
    QTest::newRow("not a number") << "ours start 1 map_ms fast" << false << 0.0;
    QTest::newRow("a unit glued on") << "ours start 1 map_ms 41ms" << false << 0.0;
    QTest::newRow("text after the value") << "ours start 1 map_ms 41 42" << false << 0.0;
    QTest::newRow("not finite") << "ours start 1 map_ms nan" << false << 0.0;
}

void tst_Bench::parseRecord() {
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const auto record = bench::ParseRecord(Std(line));
    QCOMPARE(record.has_value(), valid);
    if (valid)
        QCOMPARE(record->value, value);
}

void tst_Bench::unreadableValuesAreLeftOut() {
    bench::Results results;
    QCOMPARE(results.AddText("ours master 1 end.rss_kb 90\n"
                             "ours master 1 s2.rss_kb 100\n"
                             "ours master 2 end.rss_kb 120\n"
                             "ours master 2 s2.rss_kb -1\n"
                             "ours master 3 end.rss_kb 130\n"
                             "garbage\n"),
             1);
    QCOMPARE(results.Values("ours", "master", "s2.rss_kb"), std::vector<double>{100});
    // Run 2 has no readable start and run 3 none at all; a shrink is a real result.
    QCOMPARE(results.Differences("ours", "master", "end.rss_kb", "s2.rss_kb"),
             std::vector<double>{-10});
}

void tst_Bench::tableJudgesTargets_data() {
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");

    QTest::newRow("maps in under 0.8 × the best peer")
        << "ours start 1 map_ms 40\nsgt start 1 map_ms 60\n"
        << "exec → window mapped"
        << "| 0.67 | – | – | – | ≤ 0.8 × sgt-fifteen: met |";
    QTest::newRow("maps in more than 0.8 × the best peer")
        << "ours start 1 map_ms 50\nsgt start 1 map_ms 60\n"
        << "exec → window mapped"
        << "0.83 | – | – | – | ≤ 0.8 × sgt-fifteen: **missed** |";
    QTest::newRow("the median decides, not the best run")
        << "ours start 1 map_ms 10\nours start 2 map_ms 70\nours start 3 map_ms 70\n"
           "sgt start 1 map_ms 60\n"
        << "exec → window mapped"
        << "| 10.0 / 70.0 / 70.0 | 60.0 |";
    QTest::newRow("idle CPU is the growth over the window")
        << "ours idle 1 s2.cpu_ms 200\nours idle 1 end.cpu_ms 240\n"
        << "CPU over 60 s idle (utime+stime)"
        << "| 40 | – |";
    QTest::newRow("idle CPU over 30 ms a minute misses")
        << "ours idle 1 s2.runtime_ms 200.5\nours idle 1 end.runtime_ms 231\n"
        << "CPU over 60 s idle (CPU clock)"
        << "| 30.5 | – | – | – | – | – | – | – | – | ≤ 30 ms per 60 s: **missed** |";
    QTest::newRow("a shorter idle window gets its share of the limit")
        << "ours idle 1 s2.runtime_ms 0\nours idle 1 end.runtime_ms 7\n"
        << "CPU over 12 s idle (CPU clock)"
        << "≤ 30 ms per 60 s: **missed** |";
    QTest::newRow("master share of a core over 30 s")
        << "ours master 1 cpu0.cpu_ms 1000\nours master 1 end.cpu_ms 1150\n"
        << "… as % of one core"
        << "| 0.50 | – | – | – | – | – | – | – | – | < 1 %: met |";
    QTest::newRow("master growth above 1 MB misses")
        << "ours master 1 s2.rss_kb 30000\nours master 1 end.rss_kb 31100\n"
        << "VmRSS after 60 s of the move master − 2 s after start"
        << "| 1.07 | – | – | – | – | – | – | – | – | ≤ 1 MB: **missed** |";
    QTest::newRow("no peer measured: no ratio, no verdict")
        << "ours start 1 map_ms 40\n"
        << "exec → window mapped"
        << "| – | – | – | – | ≤ 0.8 × sgt-fifteen: not measured |";
}

void tst_Bench::tableJudgesTargets() {
    QFETCH(QString, records);
    QFETCH(QString, label);
    QFETCH(QString, expected);
    bench::Results results;
    QCOMPARE(results.AddText(Std(records)), 0);
    bench::TableSettings settings;
    if (label.contains(QStringLiteral("12 s idle")))
        settings.idleSeconds = 12; // the quick run's window
    const QString line = TableLine(bench::RenderTable(results, settings), label);
    QVERIFY2(!line.isEmpty(), qPrintable(label));
    QVERIFY2(line.contains(expected), qPrintable(line));
}

void tst_Bench::readsARunningProcess() {
    const bench::ProcSample own = bench::ReadProcSample(getpid());
    QVERIFY(own.rssKb > 1000);
    QVERIFY(own.pssKb > 0 && own.pssKb <= own.rssKb);
    QVERIFY(own.ussKb > 0 && own.ussKb <= own.pssKb);
    QVERIFY(own.cpuTicks >= 0);
    QVERIFY(own.runtimeNs > 0);
    QVERIFY(own.sharedLibraries >= 3); // at least the loader, libc and Qt Core
    QVERIFY(own.threads >= 1);
}

void tst_Bench::stampsTheClockBeforeExec() {
    bench::ChildProcess child;
    std::string error;
    const std::int64_t before = bench::MonotonicNs();
    QVERIFY2(child.Start({"true"}, "/dev/null", &error), error.c_str()); // found through PATH
    const std::int64_t after = bench::MonotonicNs();
    QVERIFY(child.ExecNs() >= before && child.ExecNs() <= after);
    QTRY_VERIFY(child.HasExited());
}

void tst_Bench::refusesWhatCannotRun_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("missing") << "/nonexistent/sdvigul";
    QTest::newRow("not executable") << "/etc/passwd";
    QTest::newRow("not in PATH") << "sdvigul-no-such-program";
}

void tst_Bench::refusesWhatCannotRun() {
    QFETCH(QString, program);
    bench::ChildProcess child;
    std::string error;
    QVERIFY(!child.Start({Std(program)}, "/dev/null", &error));
    QVERIFY2(QString::fromStdString(error).startsWith("cannot run"), error.c_str());
}

void tst_Bench::stopEndsTheWholeProcessGroup() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pidFile = dir.filePath(QStringLiteral("helper.pid"));
    bench::ChildProcess child;
    std::string error;
    // A program that starts a helper of its own, as gnome-taquin does.
    QVERIFY(child.Start({"sh", "-c", "sleep 30 & echo $! > " + Std(pidFile) + "; exec sleep 30"},
                        "/dev/null", &error));
    QFile file(pidFile);
    QTRY_VERIFY(file.exists() && file.size() > 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 helper = file.readAll().trimmed().toLongLong();
    QVERIFY(helper > 0);
    QVERIFY(!Ended(helper));
    child.Stop();
    QVERIFY(child.HasExited());
    QTRY_VERIFY(Ended(helper));
}

QTEST_APPLESS_MAIN(tst_Bench)
#include "tst_bench.moc"
