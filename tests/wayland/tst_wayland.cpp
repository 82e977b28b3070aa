#include "clientshot.h"
#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <optional>

using e2e::ClientShot;
using e2e::PollUntil;

namespace {

constexpr char kUser[] = "sdvigul-test";
const QString kTitle = QStringLiteral("Сдвигуль");
// The title scroll refills the title from 25 blanks and the title; every step is a tail of it.
const QString kScrollText = QString(25, u' ') + kTitle;
constexpr int kTimeoutMs = 5000;
constexpr int kScrollStartMs = 12000; // from the game's start; it first scrolls after 10 s
constexpr int kScrollMs = 5000;       // one scroll takes 3.3 s

// sway's window tree, flattened to the windows of clients (the nodes with a pid).
void CollectViews(const QJsonObject& node, QList<QJsonObject>& views) {
    if (node.contains(QLatin1String("pid")))
        views << node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const auto child : node.value(QLatin1String(key)).toArray())
            CollectViews(child.toObject(), views);
}

QRect RectOf(const QJsonObject& object) {
    return {object.value(QLatin1String("x")).toInt(), object.value(QLatin1String("y")).toInt(),
            object.value(QLatin1String("width")).toInt(),
            object.value(QLatin1String("height")).toInt()};
}

} // namespace

// The built game as a native Wayland client of a headless sway this test starts, driven with
// wtype and seen through grim screenshots and sway's window tree. sway refuses to run as root,
// so as root the compositor and the game run as an unprivileged user.
class TestWayland : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void playsScrollsAndCloses();
    void closesWhileBoxIsOpen();
    void reportsUnreachableCompositor();

private:
    QString FindOrMakeUser();
    void Prepare(QProcess& process) const;
    std::optional<QByteArray> Run(const QStringList& command) const;
    QString StartSway();
    qint64 StartGame();
    QList<QJsonObject> GameViews() const;
    std::optional<QJsonObject> View(qint64 id) const;
    ClientShot Shot(qint64 id) const;
    void Keys(const QStringList& wtypeArguments) const;
    QString HowGameEnded();

    QTemporaryDir dir_; // runtime and home folder of the session, the game's working folder
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool switchUser_ = false;
    QProcessEnvironment environment_;
    QProcess sway_;
    QString gameCopy_;
    QProcess game_;
};

QString TestWayland::FindOrMakeUser() {
    switchUser_ = ::geteuid() == 0;
    if (!switchUser_)
        return {};
    if (!::getpwnam(kUser))
        QProcess::execute(QStringLiteral("useradd"),
                          {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                           QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                           QLatin1String(kUser)});
    const passwd* const entry = ::getpwnam(kUser);
    if (!entry)
        return QStringLiteral("no user %1 to run sway as, and useradd failed").arg(kUser);
    uid_ = entry->pw_uid;
    gid_ = entry->pw_gid;
    if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
        return QStringLiteral("cannot hand %1 to %2").arg(dir_.path(), kUser);
    return {};
}

// Every program of the session runs as the session's user, in its folder, with its
// environment only, and dies with the test.
void TestWayland::Prepare(QProcess& process) const {
    process.setProcessEnvironment(environment_);
    process.setWorkingDirectory(dir_.path());
    const bool switchUser = switchUser_;
    const uid_t uid = uid_;
    const gid_t gid = gid_;
    process.setChildProcessModifier([switchUser, uid, gid] {
        if (switchUser &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(126);
        // After the change of user: a change of credentials clears the parent-death signal.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

std::optional<QByteArray> TestWayland::Run(const QStringList& command) const {
    QProcess process;
    Prepare(process);
    process.start(command.front(), command.mid(1));
    if (!process.waitForFinished(kTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

QString TestWayland::StartSway() {
    QFile config(dir_.filePath(QStringLiteral("sway.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write("xwayland disable\n") < 0)
        return QStringLiteral("cannot write the sway configuration");
    config.close();
    environment_.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment_.insert(QStringLiteral("HOME"), dir_.path());
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    environment_.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment_.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment_.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    Prepare(sway_);
    sway_.start(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()});
    sway_.waitForStarted(kTimeoutMs);
    const QDir dir(dir_.path());
    QStringList sockets;
    QStringList displays;
    PollUntil(
        [&] {
            sockets = dir.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            displays = dir.entryList({QStringLiteral("wayland-?")}, QDir::System);
            return sway_.state() != QProcess::Running ||
                   (!sockets.isEmpty() && !displays.isEmpty());
        },
        kTimeoutMs);
    if (sockets.isEmpty() || displays.isEmpty())
        return QStringLiteral("headless sway did not start: ") + sway_.errorString() + u' ' +
               QString::fromLocal8Bit(sway_.readAllStandardError().right(600));
    environment_.insert(QStringLiteral("SWAYSOCK"), dir.filePath(sockets.front()));
    environment_.insert(QStringLiteral("WAYLAND_DISPLAY"), displays.front());
    return {};
}

void TestWayland::initTestCase() {
    QVERIFY(dir_.isValid());
    // A copy the session's user can run wherever the build lies.
    gameCopy_ = dir_.filePath(QStringLiteral("sdvigul"));
    QVERIFY(QFile::copy(QStringLiteral(SDVIGUL_GAME_BINARY), gameCopy_));
    QString problem = FindOrMakeUser();
    if (problem.isEmpty())
        problem = StartSway();
    if (!problem.isEmpty())
        QSKIP(qPrintable(problem));
}

void TestWayland::cleanupTestCase() {
    sway_.terminate();
    if (!sway_.waitForFinished(kTimeoutMs))
        sway_.kill();
}

void TestWayland::cleanup() {
    if (game_.state() != QProcess::NotRunning) {
        game_.kill();
        game_.waitForFinished(kTimeoutMs);
    }
}

// Starts the game as the session's client (no DISPLAY, no QT_QPA_PLATFORM: it picks Wayland
// itself) and returns the id of its window in sway's tree, 0 when none appears.
qint64 TestWayland::StartGame() {
    Prepare(game_);
    game_.start(gameCopy_, {});
    if (!game_.waitForStarted(kTimeoutMs) ||
        !PollUntil([&] { return !GameViews().isEmpty(); }, kTimeoutMs, 100))
        return 0;
    return GameViews().front().value(QLatin1String("id")).toInteger();
}

QList<QJsonObject> TestWayland::GameViews() const {
    QList<QJsonObject> views;
    const auto tree = Run({QStringLiteral("swaymsg"), QStringLiteral("-r"), QStringLiteral("-t"),
                           QStringLiteral("get_tree")});
    if (tree)
        CollectViews(QJsonDocument::fromJson(*tree).object(), views);
    QList<QJsonObject> games;
    for (const QJsonObject& view : views)
        if (view.value(QLatin1String("pid")).toInteger() == game_.processId())
            games << view;
    return games;
}

std::optional<QJsonObject> TestWayland::View(qint64 id) const {
    for (const QJsonObject& view : GameViews())
        if (view.value(QLatin1String("id")).toInteger() == id)
            return view;
    return std::nullopt;
}

// The board and status rows: the bottom 247 × 350 of the window's own area, where it is now.
ClientShot TestWayland::Shot(qint64 id) const {
    const auto view = View(id);
    if (!view)
        return {};
    const QRect frame = RectOf(view->value(QLatin1String("rect")).toObject());
    const QRect window =
        RectOf(view->value(QLatin1String("window_rect")).toObject()).translated(frame.topLeft());
    const QRect board(window.left(), window.bottom() + 1 - ClientShot::kClientSize.height(),
                      ClientShot::kClientSize.width(), ClientShot::kClientSize.height());
    const QString file = dir_.filePath(QStringLiteral("shot.png"));
    QFile::remove(file);
    const QString geometry = QStringLiteral("%1,%2 %3x%4")
                                 .arg(board.x())
                                 .arg(board.y())
                                 .arg(board.width())
                                 .arg(board.height());
    if (!Run({QStringLiteral("grim"), QStringLiteral("-g"), geometry, file}))
        return {};
    return ClientShot(QImage(file).convertToFormat(QImage::Format_RGB32));
}

// A new virtual keyboard can lose its first key while the compositor announces it, so every
// run of wtype leads with a Shift tap, which no window of the game reacts to.
void TestWayland::Keys(const QStringList& wtypeArguments) const {
    QVERIFY(Run(QStringList{QStringLiteral("wtype"), QStringLiteral("-s"), QStringLiteral("700"),
                            QStringLiteral("-k"), QStringLiteral("Shift_L"), QStringLiteral("-s"),
                            QStringLiteral("100")} +
                wtypeArguments));
}

// Empty when the game ends by itself with status 0 and has written nothing to stderr,
// otherwise what went wrong.
QString TestWayland::HowGameEnded() {
    if (!game_.waitForFinished(kTimeoutMs))
        return QStringLiteral("the game still runs");
    const QByteArray errors = game_.readAllStandardError();
    if (game_.exitStatus() != QProcess::NormalExit || game_.exitCode() != 0)
        return QStringLiteral("the game ended with status %1 (%2)")
            .arg(game_.exitCode())
            .arg(game_.exitStatus() == QProcess::NormalExit ? "exit" : "crash");
    return QString::fromUtf8(errors);
}

void TestWayland::playsScrollsAndCloses() {
    QElapsedTimer sinceStart;
    sinceStart.start();
    const qint64 id = StartGame();
    QVERIFY2(id != 0, "the game's window did not appear");
    const QJsonObject view = *View(id);
    QCOMPARE(view.value(QLatin1String("name")).toString(), kTitle);
    QCOMPARE(view.value(QLatin1String("shell")).toString(), QStringLiteral("xdg_shell"));
    QCOMPARE(RectOf(view.value(QLatin1String("window_rect")).toObject()).width(),
             ClientShot::kClientSize.width());
    QVERIFY2(PollUntil([&] { return Shot(id).BoardHidden(); }, kTimeoutMs, 100),
             "the board shows before the first deal");

    Keys({QStringLiteral("-k"), QStringLiteral("F2")});
    ClientShot dealt;
    QVERIFY2(PollUntil(
                 [&] {
                     dealt = Shot(id);
                     return dealt.EmptyCell() != 0 && dealt.TilesDistinct();
                 },
                 kTimeoutMs, 100),
             "F2 did not deal 15 distinct tiles and one empty cell");

    Keys({QStringLiteral("-M"), QStringLiteral("ctrl"), QStringLiteral("-k"), QStringLiteral("F3"),
          QStringLiteral("-m"), QStringLiteral("ctrl")});
    QVERIFY2(PollUntil(
                 [&] {
                     const ClientShot playing = Shot(id);
                     return !playing.SamePosition(dealt) && playing.TimeValueShown() &&
                            playing.MoveValueShown();
                 },
                 kTimeoutMs, 100),
             "Ctrl+F3 did not start the move master");

    QStringList titles;
    const auto watchTitle = [&] {
        const auto current = View(id);
        if (current &&
            titles.value(titles.size() - 1) != current->value(QLatin1String("name")).toString())
            titles << current->value(QLatin1String("name")).toString();
        return current.has_value();
    };
    QVERIFY2(PollUntil([&] { return watchTitle() && titles.last() != kTitle; },
                       kScrollStartMs - int(sinceStart.elapsed()), 50),
             "the title did not scroll within 12 s");
    QVERIFY2(PollUntil([&] { return watchTitle() && titles.last() == kTitle; }, kScrollMs, 50),
             qPrintable(titles.join(u'|')));
    for (const QString& title : titles)
        QVERIFY2(!title.isEmpty() && kScrollText.endsWith(title), qPrintable(title));

    QVERIFY(Run({QStringLiteral("swaymsg"), QStringLiteral("[con_id=%1] kill").arg(id)}));
    const QString ending = HowGameEnded();
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// F1 without a help.txt in the working folder opens a modal message box.
void TestWayland::closesWhileBoxIsOpen() {
    const qint64 id = StartGame();
    QVERIFY2(id != 0, "the game's window did not appear");
    Keys({QStringLiteral("-k"), QStringLiteral("F1")});
    QVERIFY2(PollUntil([&] { return GameViews().size() == 2; }, kTimeoutMs, 100),
             "F1 did not open the message box");
    QVERIFY(Run({QStringLiteral("swaymsg"), QStringLiteral("[con_id=%1] kill").arg(id)}));
    const QString ending = HowGameEnded();
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// Without a compositor to answer, the game says so in one line instead of Qt's abort.
void TestWayland::reportsUnreachableCompositor() {
    const QProcessEnvironment session = environment_;
    environment_.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    Prepare(game_);
    environment_ = session;
    game_.start(gameCopy_, {});
    QVERIFY(game_.waitForFinished(kTimeoutMs));
    QCOMPARE(game_.exitCode(), 1);
    const QString errors = QString::fromUtf8(game_.readAllStandardError());
    QVERIFY2(errors.startsWith(QLatin1String("sdvigul: ")) && errors.count(u'\n') == 1 &&
                 errors.contains(QLatin1String("wayland-none")),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
