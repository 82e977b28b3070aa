// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <optional>

using e2e::ClientShot;
using e2e::PollUntil;
using namespace Qt::StringLiterals;

namespace {

constexpr char kUser[] = "sdvigul-test";
const QString kTitle = u"Сдвигуль"_s;
// The title scroll refills the title from 25 blanks and the title; every step is a tail of it.
const QString kScrollText = QString(25, u' ') + kTitle;
constexpr int kTimeoutMs = 5000;
constexpr int kScrollStartMs = 12000; // from the game's start; it first scrolls after 10 s
constexpr int kScrollMs = 5000;       // one scroll takes 3.3 s

// sway's window tree, flattened to the windows of clients (the nodes with a pid).
void CollectViews(const QJsonObject& node, QList<QJsonObject>& views) {
    if (node.contains("pid"_L1))
        views << node;
    for (const auto key : {"nodes"_L1, "floating_nodes"_L1})
        for (const auto child : node.value(key).toArray())
            CollectViews(child.toObject(), views);
}

QRect RectOf(const QJsonObject& view, QLatin1StringView key) {
    const QJsonObject rect = view.value(key).toObject();
    return {rect.value("x"_L1).toInt(), rect.value("y"_L1).toInt(), rect.value("width"_L1).toInt(),
            rect.value("height"_L1).toInt()};
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
    QString StartSway();
    void Prepare(QProcess& process) const;
    std::optional<QByteArray> Run(const QStringList& command) const;
    qint64 StartGame();
    QList<QJsonObject> GameViews() const;
    std::optional<QJsonObject> View(qint64 id) const;
    ClientShot Shot(qint64 id) const;
    bool Keys(const QStringList& wtypeArguments) const;
    QString CloseAndSeeHowGameEnds(qint64 id);

    QTemporaryDir dir_; // runtime and home folder of the session, the game's working folder
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool switchUser_ = false;
    bool privateShm_ = false;
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
        QProcess::execute(u"useradd"_s, {u"--system"_s, u"--no-create-home"_s, u"--shell"_s,
                                         u"/usr/sbin/nologin"_s, QLatin1String(kUser)});
    const passwd* const entry = ::getpwnam(kUser);
    if (!entry)
        return u"no user %1 to run sway as, and useradd failed"_s.arg(kUser);
    uid_ = entry->pw_uid;
    gid_ = entry->pw_gid;
    // grim and wtype share their buffers through /dev/shm. In a chroot with a plain bind of
    // /dev it is root's folder, not the world-writable tmpfs: each program then gets a private
    // one (the buffers travel as file descriptors, so nothing needs to be seen across them).
    struct stat shm {};
    privateShm_ = ::stat("/dev/shm", &shm) != 0 || (shm.st_mode & S_IWOTH) == 0;
    if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
        return u"cannot hand %1 to %2"_s.arg(dir_.path(), kUser);
    return {};
}

QString TestWayland::StartSway() {
    QFile config(dir_.filePath(u"sway.conf"_s));
    if (!config.open(QIODevice::WriteOnly) || config.write("xwayland disable\n") < 0)
        return u"cannot write the sway configuration"_s;
    config.close();
    for (const auto& [name, value] : {std::pair{u"PATH"_s, u"/usr/sbin:/usr/bin:/sbin:/bin"_s},
                                      {u"HOME"_s, dir_.path()},
                                      {u"XDG_RUNTIME_DIR"_s, dir_.path()},
                                      {u"WLR_BACKENDS"_s, u"headless"_s},
                                      {u"WLR_RENDERER"_s, u"pixman"_s},
                                      {u"WLR_LIBINPUT_NO_DEVICES"_s, u"1"_s}})
        environment_.insert(name, value);
    Prepare(sway_);
    sway_.start(u"sway"_s, {u"-c"_s, config.fileName()});
    sway_.waitForStarted(kTimeoutMs);
    const QDir dir(dir_.path());
    QStringList sockets;
    QStringList displays;
    PollUntil(
        [&] {
            sockets = dir.entryList({u"sway-ipc.*.sock"_s}, QDir::System);
            displays = dir.entryList({u"wayland-?"_s}, QDir::System);
            return sway_.state() != QProcess::Running ||
                   (!sockets.isEmpty() && !displays.isEmpty());
        },
        kTimeoutMs);
    if (sockets.isEmpty() || displays.isEmpty())
        return u"headless sway did not start: "_s + sway_.errorString() + u' ' +
               QString::fromLocal8Bit(sway_.readAllStandardError().right(600));
    environment_.insert(u"SWAYSOCK"_s, dir.filePath(sockets.front()));
    environment_.insert(u"WAYLAND_DISPLAY"_s, displays.front());
    return {};
}

void TestWayland::initTestCase() {
    QVERIFY(dir_.isValid());
    // A copy the session's user can run wherever the build lies.
    gameCopy_ = dir_.filePath(u"sdvigul"_s);
    QVERIFY(QFile::copy(QStringLiteral(SDVIGUL_GAME_BINARY), gameCopy_));
    QString problem = FindOrMakeUser();
    if (problem.isEmpty())
        problem = StartSway();
    if (!problem.isEmpty())
        QSKIP(qPrintable(problem));
}

void TestWayland::cleanupTestCase() {
    sway_.terminate();
    if (!sway_.waitForFinished(kTimeoutMs)) {
        sway_.kill();
        sway_.waitForFinished(kTimeoutMs);
    }
}

void TestWayland::cleanup() {
    if (game_.state() != QProcess::NotRunning) {
        game_.kill();
        game_.waitForFinished(kTimeoutMs);
    }
}

// Every program of the session runs as the session's user, in its folder, with its
// environment only, and dies with the test.
void TestWayland::Prepare(QProcess& process) const {
    process.setProcessEnvironment(environment_);
    process.setWorkingDirectory(dir_.path());
    process.setChildProcessModifier(
        [switchUser = switchUser_, privateShm = privateShm_, uid = uid_, gid = gid_] {
            // /dev is a mount of its own also in a chroot, where / is none: made private,
            // the new tmpfs stays in this process's namespace.
            if (privateShm &&
                (::unshare(CLONE_NEWNS) != 0 ||
                 ::mount(nullptr, "/dev", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                 ::mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0))
                ::_exit(126);
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

// Starts the game as the session's client (no DISPLAY, no QT_QPA_PLATFORM: it picks Wayland
// itself) and returns the id of its window in sway's tree, 0 when none appears.
qint64 TestWayland::StartGame() {
    Prepare(game_);
    game_.start(gameCopy_, {});
    if (!game_.waitForStarted(kTimeoutMs) ||
        !PollUntil([&] { return !GameViews().isEmpty(); }, kTimeoutMs, 100))
        return 0;
    return GameViews().front().value("id"_L1).toInteger();
}

QList<QJsonObject> TestWayland::GameViews() const {
    QList<QJsonObject> views;
    if (const auto tree = Run({u"swaymsg"_s, u"-r"_s, u"-t"_s, u"get_tree"_s}))
        CollectViews(QJsonDocument::fromJson(*tree).object(), views);
    views.removeIf([&](const QJsonObject& view) {
        return view.value("pid"_L1).toInteger() != game_.processId();
    });
    return views;
}

std::optional<QJsonObject> TestWayland::View(qint64 id) const {
    for (const QJsonObject& view : GameViews())
        if (view.value("id"_L1).toInteger() == id)
            return view;
    return std::nullopt;
}

// The board and status rows: the bottom 247 × 350 of the window's own area, where it is now.
ClientShot TestWayland::Shot(qint64 id) const {
    const auto view = View(id);
    if (!view)
        return {};
    const QRect window =
        RectOf(*view, "window_rect"_L1).translated(RectOf(*view, "rect"_L1).topLeft());
    const QSize size = ClientShot::kClientSize;
    const QString geometry = u"%1,%2 %3x%4"_s.arg(window.left())
                                 .arg(window.bottom() + 1 - size.height())
                                 .arg(size.width())
                                 .arg(size.height());
    const QString file = dir_.filePath(u"shot.png"_s);
    QFile::remove(file);
    if (!Run({u"grim"_s, u"-g"_s, geometry, file}))
        return {};
    return ClientShot(QImage(file).convertToFormat(QImage::Format_RGB32));
}

// A new virtual keyboard can lose its first key while the compositor announces it, so every
// run of wtype leads with a Shift tap, which no window of the game reacts to.
bool TestWayland::Keys(const QStringList& wtypeArguments) const {
    return Run(QStringList{u"wtype"_s, u"-s"_s, u"700"_s, u"-k"_s, u"Shift_L"_s, u"-s"_s,
                           u"100"_s} +
               wtypeArguments)
        .has_value();
}

// Closes the window the way the compositor does. Empty when the game then ends by itself with
// status 0 and has written nothing to stderr, otherwise what went wrong.
QString TestWayland::CloseAndSeeHowGameEnds(qint64 id) {
    if (!Run({u"swaymsg"_s, u"[con_id=%1] kill"_s.arg(id)}))
        return u"swaymsg kill failed"_s;
    if (!game_.waitForFinished(kTimeoutMs))
        return u"the game still runs"_s;
    if (game_.exitStatus() != QProcess::NormalExit || game_.exitCode() != 0)
        return u"the game ended with status %1"_s.arg(game_.exitCode());
    return QString::fromUtf8(game_.readAllStandardError());
}

void TestWayland::playsScrollsAndCloses() {
    QElapsedTimer sinceStart;
    sinceStart.start();
    const qint64 id = StartGame();
    QVERIFY2(id != 0, "the game's window did not appear");
    const QJsonObject view = *View(id);
    QCOMPARE(view.value("name"_L1).toString(), kTitle);
    QCOMPARE(view.value("shell"_L1).toString(), u"xdg_shell"_s);
    QCOMPARE(RectOf(view, "window_rect"_L1).width(), ClientShot::kClientSize.width());
    QVERIFY2(PollUntil([&] { return Shot(id).BoardHidden(); }, kTimeoutMs, 100),
             "the board shows before the first deal");

    QVERIFY(Keys({u"-k"_s, u"F2"_s}));
    ClientShot dealt;
    const auto isDealt = [&] {
        dealt = Shot(id);
        return dealt.EmptyCell() != 0 && dealt.TilesDistinct();
    };
    QVERIFY2(PollUntil(isDealt, kTimeoutMs, 100), "F2 did not deal 15 tiles and an empty cell");

    QVERIFY(Keys({u"-M"_s, u"ctrl"_s, u"-k"_s, u"F3"_s, u"-m"_s, u"ctrl"_s}));
    const auto isPlaying = [&] {
        const ClientShot playing = Shot(id);
        return !playing.SamePosition(dealt) && playing.TimeValueShown() && playing.MoveValueShown();
    };
    QVERIFY2(PollUntil(isPlaying, kTimeoutMs, 100), "Ctrl+F3 did not start the move master");

    QStringList titles;
    const auto watchTitle = [&] {
        const auto current = View(id);
        const QString title = current ? current->value("name"_L1).toString() : QString();
        if (current && titles.value(titles.size() - 1) != title)
            titles << title;
        return current.has_value();
    };
    QVERIFY2(PollUntil([&] { return watchTitle() && titles.last() != kTitle; },
                       kScrollStartMs - int(sinceStart.elapsed()), 50),
             "the title did not scroll within 12 s");
    QVERIFY2(PollUntil([&] { return watchTitle() && titles.last() == kTitle; }, kScrollMs, 50),
             qPrintable(titles.join(u'|')));
    for (const QString& title : titles)
        QVERIFY2(!title.isEmpty() && kScrollText.endsWith(title), qPrintable(title));

    const QString ending = CloseAndSeeHowGameEnds(id);
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// F1 without a help.txt in the working folder opens a modal message box.
void TestWayland::closesWhileBoxIsOpen() {
    const qint64 id = StartGame();
    QVERIFY2(id != 0, "the game's window did not appear");
    QVERIFY(Keys({u"-k"_s, u"F1"_s}));
    QVERIFY2(PollUntil([&] { return GameViews().size() == 2; }, kTimeoutMs, 100),
             "F1 did not open the message box");
    const QString ending = CloseAndSeeHowGameEnds(id);
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// Without a compositor to answer, the game says so in one line instead of Qt's abort.
void TestWayland::reportsUnreachableCompositor() {
    const QProcessEnvironment session = environment_;
    environment_.insert(u"WAYLAND_DISPLAY"_s, u"wayland-none"_s);
    Prepare(game_);
    environment_ = session;
    game_.start(gameCopy_, {});
    QVERIFY(game_.waitForFinished(kTimeoutMs));
    QCOMPARE(game_.exitCode(), 1);
    const QString errors = QString::fromUtf8(game_.readAllStandardError());
    QVERIFY2(errors.startsWith("sdvigul: "_L1) && errors.count(u'\n') == 1 &&
                 errors.contains("wayland-none"_L1),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestWayland)
#include "tst_wayland.moc"
