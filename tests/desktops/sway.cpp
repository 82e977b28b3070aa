// SPDX-License-Identifier: GPL-3.0-or-later
// A headless sway: input through wtype, screenshots through grim, windows through sway's tree.
// sway refuses to run as root, so as root the whole session runs as an unprivileged user.
#include "desktop.h"

#include "xsession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

using e2e::PollUntil;
using namespace Qt::StringLiterals;

namespace desktops {

namespace {

constexpr char kUser[] = "sdvigul-test";
constexpr int kTimeoutMs = 5000;

// sway's window tree, flattened to the windows of clients (the nodes with a pid).
void CollectViews(const QJsonObject& node, QList<QJsonObject>& views) {
    if (node.contains("pid"_L1))
        views << node;
    for (const auto key : {"nodes"_L1, "floating_nodes"_L1})
        for (const auto child : node.value(key).toArray())
            CollectViews(child.toObject(), views);
}

int Height(const QJsonObject& view) {
    return view.value("window_rect"_L1).toObject().value("height"_L1).toInt();
}

class SwayDesktop : public Desktop {
public:
    QString Start() override;
    bool IsWayland() const override { return true; }
    QImage Screenshot() override;
    bool Keys(const QStringList& keys) override;
    std::optional<QStringList> Titles(qint64 pid) override;
    // sway tiles or floats windows; it has no maximised state and no request for one.
    QString Maximise(qint64) override { return u"-"_s; }
    QString Close(qint64 pid) override;

protected:
    void Prepare(QProcess& process) const override;
    QProcessEnvironment GameEnvironment(bool brokenDisplay) const override;

private:
    QString FindOrMakeUser();
    QList<QJsonObject> Views(qint64 pid) const;

    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool switchUser_ = false;
    bool privateShm_ = false;
};

QString SwayDesktop::FindOrMakeUser() {
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
    if (::chown(QFile::encodeName(Folder()).constData(), uid_, gid_) != 0)
        return u"cannot hand %1 to %2"_s.arg(Folder(), kUser);
    return {};
}

QString SwayDesktop::Start() {
    if (QStandardPaths::findExecutable(u"sway"_s).isEmpty())
        return u"sway is not installed"_s;
    QString problem = FindOrMakeUser();
    if (!problem.isEmpty())
        return problem;
    QFile config(QDir(Folder()).filePath(u"sway.conf"_s));
    if (!config.open(QIODevice::WriteOnly) || config.write("xwayland disable\n") < 0)
        return u"cannot write the sway configuration"_s;
    config.close();
    for (const auto& [name, value] : {std::pair{u"WLR_BACKENDS"_s, u"headless"_s},
                                      {u"WLR_RENDERER"_s, u"pixman"_s},
                                      {u"WLR_LIBINPUT_NO_DEVICES"_s, u"1"_s},
                                      {u"XDG_CURRENT_DESKTOP"_s, u"sway"_s},
                                      {u"XDG_SESSION_TYPE"_s, u"wayland"_s}})
        Environment().insert(name, value);
    problem = StartBus();
    if (!problem.isEmpty())
        return problem;
    QProcess& sway = Launch(u"sway"_s, {u"-c"_s, config.fileName()});
    const QDir dir(Folder());
    QStringList sockets;
    QStringList displays;
    PollUntil(
        [&] {
            sockets = dir.entryList({u"sway-ipc.*.sock"_s}, QDir::System);
            displays = dir.entryList({u"wayland-?"_s}, QDir::System);
            return sway.state() != QProcess::Running || (!sockets.isEmpty() && !displays.isEmpty());
        },
        kTimeoutMs);
    if (sockets.isEmpty() || displays.isEmpty())
        return u"headless sway did not start: "_s + sway.errorString() + u' ' +
               QString::fromLocal8Bit(sway.readAllStandardError().right(600));
    Environment().insert(u"SWAYSOCK"_s, dir.filePath(sockets.front()));
    Environment().insert(u"WAYLAND_DISPLAY"_s, displays.front());
    return {};
}

// Every program of the session runs as the session's user, in its folder, with its
// environment only, and dies with the test.
void SwayDesktop::Prepare(QProcess& process) const {
    Desktop::Prepare(process);
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

// No DISPLAY and no QT_QPA_PLATFORM: the game picks Wayland itself.
QProcessEnvironment SwayDesktop::GameEnvironment(bool brokenDisplay) const {
    QProcessEnvironment environment = Environment();
    if (brokenDisplay)
        environment.insert(u"WAYLAND_DISPLAY"_s, u"wayland-none"_s);
    return environment;
}

QImage SwayDesktop::Screenshot() {
    const QString file = QDir(Folder()).filePath(u"screen.png"_s);
    QFile::remove(file);
    if (!Run({u"grim"_s, file}))
        return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

// A new virtual keyboard can lose its first key while the compositor announces it, so every
// run of wtype leads with a Shift tap, which no window of the game reacts to.
bool SwayDesktop::Keys(const QStringList& keys) {
    QStringList command{u"wtype"_s, u"-s"_s, u"700"_s, u"-k"_s, u"Shift_L"_s};
    for (const QString& combination : keys) {
        // "ctrl+F3": modifiers held around the last key.
        QStringList parts = combination.split(u'+');
        const QString key = parts.takeLast();
        command << u"-s"_s << u"100"_s;
        for (const QString& modifier : std::as_const(parts))
            command << u"-M"_s << modifier;
        command << u"-k"_s << key;
        for (const QString& modifier : std::as_const(parts))
            command << u"-m"_s << modifier;
    }
    return Run(command).has_value();
}

// The game's windows in sway's tree, the main window (the tallest) first.
QList<QJsonObject> SwayDesktop::Views(qint64 pid) const {
    QList<QJsonObject> views;
    if (const auto tree = Run({u"swaymsg"_s, u"-r"_s, u"-t"_s, u"get_tree"_s}))
        CollectViews(QJsonDocument::fromJson(*tree).object(), views);
    views.removeIf(
        [&](const QJsonObject& view) { return view.value("pid"_L1).toInteger() != pid; });
    std::stable_sort(views.begin(), views.end(),
                     [](const auto& a, const auto& b) { return Height(a) > Height(b); });
    return views;
}

std::optional<QStringList> SwayDesktop::Titles(qint64 pid) {
    QStringList titles;
    for (const QJsonObject& view : Views(pid))
        titles << view.value("name"_L1).toString();
    return titles;
}

QString SwayDesktop::Close(qint64 pid) {
    const QList<QJsonObject> views = Views(pid);
    if (views.isEmpty())
        return u"no window of the game"_s;
    const qint64 id = views.front().value("id"_L1).toInteger();
    return Run({u"swaymsg"_s, u"[con_id=%1] kill"_s.arg(id)}) ? QString()
                                                              : u"swaymsg kill failed"_s;
}

} // namespace

std::unique_ptr<Desktop> MakeSwayDesktop() {
    return std::make_unique<SwayDesktop>();
}

} // namespace desktops
