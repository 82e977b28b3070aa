// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamerun.h"

#include "menuscan.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdlib>
#include <utility>

namespace e2e {

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kMenuTimeoutMs = 5000;
constexpr int kCloseTimeoutMs = 3000;
constexpr QPoint kRestingPointer{1010, 750}; // away from every window the game opens
const char* const kMainTitle = "^Сдвигуль$";
const char* const kWorkSubdir = "cwd";
const char* const kLogName = "game.log";

} // namespace

GameRun::GameRun(XSession& x, QString program, QStringList arguments)
    : x_(x), program_(std::move(program)), arguments_(std::move(arguments)) {
    QDir(workDir_.path()).mkdir(QString::fromLatin1(kWorkSubdir));
}

GameRun::~GameRun() {
    Stop();
}

QString GameRun::WorkDir() const {
    return workDir_.filePath(QString::fromLatin1(kWorkSubdir));
}

bool GameRun::Start(QString* error) {
    x_.MoveMouse(kRestingPointer);
    process_.setProgram(program_);
    process_.setArguments(arguments_);
    process_.setWorkingDirectory(WorkDir());
    QProcessEnvironment environment = x_.Environment();
    environment.insert(extraEnvironment_);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // The log stays beside the working directory, which holds only what a case puts there.
    process_.setStandardOutputFile(LogPath());
    XSession::TieToTest(process_);
    sinceStart_.start();
    process_.start();
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        *error = QStringLiteral("the game does not start: ") + process_.errorString();
        return false;
    }
    const bool shown = PollUntil(
        [this] {
            const QList<quint64> found = WindowsTitled(QString::fromUtf8(kMainTitle));
            if (found.size() == 1)
                mainWindow_ = found.front();
            return mainWindow_ != 0 || process_.state() != QProcess::Running;
        },
        kStartTimeoutMs);
    if (!shown || mainWindow_ == 0) {
        *error = QStringLiteral("no main window titled Сдвигуль appeared; log: ") + Log();
        return false;
    }
    if (!WaitUntilCentred(mainWindow_, kStartTimeoutMs) || !Activate() || !ReadGeometry()) {
        *error = QStringLiteral("the main window cannot be activated or measured");
        return false;
    }
    // The window is up once its dark green client area has been painted.
    const ClientShot painted = WaitForShot(
        [](const ClientShot& shot) { return shot.Image().pixel(4, 4) == qRgb(0, 64, 0); },
        kStartTimeoutMs);
    if (painted.IsNull()) {
        *error = QStringLiteral("the main window was never painted");
        return false;
    }
    return true;
}

bool GameRun::Activate() {
    return x_.Activate(mainWindow_);
}

std::optional<int> GameRun::WaitForExit(int timeoutMs) {
    exitExpected_ = true;
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(timeoutMs))
        return std::nullopt;
    if (process_.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return process_.exitCode();
}

QString GameRun::Stop() {
    if (process_.state() == QProcess::NotRunning) {
        if (exitExpected_ || process_.error() == QProcess::FailedToStart)
            return {};
        exitExpected_ = true; // report it once
        return QStringLiteral("the game ended by itself (%1, status %2); log: %3")
            .arg(process_.exitStatus() == QProcess::NormalExit ? QStringLiteral("normal exit")
                                                               : QStringLiteral("crash"))
            .arg(process_.exitCode())
            .arg(Log());
    }
    exitExpected_ = true;
    RequestClose();
    if (!process_.waitForFinished(kCloseTimeoutMs)) {
        // A modal box keeps the window from closing; the case is over anyway.
        process_.terminate();
        if (!process_.waitForFinished(kCloseTimeoutMs)) {
            process_.kill();
            process_.waitForFinished(kCloseTimeoutMs);
        }
    }
    return {};
}

bool GameRun::RequestClose() {
    if (mainWindow_ == 0)
        return false;
    return x_
        .Run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"),
                                        QStringLiteral("0x%1").arg(mainWindow_, 0, 16)})
        .has_value();
}

QString GameRun::LogPath() const {
    return workDir_.filePath(QString::fromLatin1(kLogName));
}

QString GameRun::Log() const {
    QFile log(LogPath());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.read(4000));
}

// The client area is the bottom 247 × 350 of the window; the menu bar fills the rest above it.
bool GameRun::ReadGeometry() {
    const auto info = x_.Window(mainWindow_);
    if (!info)
        return false;
    const QRect window = info->client;
    const QSize size = ClientShot::kClientSize;
    client_ =
        QRect(window.left(), window.bottom() + 1 - size.height(), size.width(), size.height());
    menuBar_ = QRect(window.left(), window.top(), window.width(), window.height() - size.height());
    return true;
}

ClientShot GameRun::Shot() {
    const QImage screen = x_.Screenshot();
    if (screen.isNull())
        return {};
    return ClientShot(screen.copy(client_));
}

ClientShot GameRun::WaitForShot(const std::function<bool(const ClientShot&)>& done, int timeoutMs,
                                Settle settle) {
    ClientShot previous;
    ClientShot found;
    const bool seen = PollUntil(
        [&] {
            const ClientShot shot = Shot();
            if (shot.IsNull() || !done(shot)) {
                previous = ClientShot();
                return false;
            }
            if (settle == Settle::No || (!previous.IsNull() && previous.Image() == shot.Image()))
                found = shot;
            previous = shot;
            return !found.IsNull();
        },
        timeoutMs);
    return seen ? found : ClientShot();
}

QList<QRect> GameRun::MenuBarTitles() {
    const QImage screen = x_.Screenshot();
    QList<QRect> titles;
    if (screen.isNull())
        return titles;
    for (const QRect& entry : MenuBarEntries(screen.copy(menuBar_)))
        titles << entry.translated(menuBar_.topLeft());
    return titles;
}

QList<quint64> GameRun::OtherWindows() {
    QList<quint64> windows = x_.VisibleWindowsOfPid(Pid());
    windows.removeAll(mainWindow_);
    return windows;
}

// A menu is a new window of the game; it is read once two screenshots agree on its entries.
std::optional<OpenMenu> GameRun::WaitForMenu(const QList<quint64>& known) {
    std::optional<OpenMenu> menu;
    QList<QRect> previous;
    const bool opened = PollUntil(
        [&] {
            for (const quint64 window : OtherWindows()) {
                if (known.contains(window))
                    continue;
                const auto info = x_.Window(window);
                const QImage screen = x_.Screenshot();
                if (!info || !info->viewable || screen.isNull())
                    continue;
                const QList<QRect> entries = MenuEntries(screen.copy(info->client));
                if (!entries.isEmpty() && entries == previous) {
                    menu = OpenMenu{window, info->client, entries};
                    return true;
                }
                previous = entries;
            }
            return false;
        },
        kMenuTimeoutMs);
    return opened ? menu : std::nullopt;
}

std::optional<OpenMenu> GameRun::OpenMenuByMouse(int title) {
    const QList<QRect> titles = MenuBarTitles();
    if (title >= titles.size())
        return std::nullopt;
    const QList<quint64> known = OtherWindows();
    x_.Click(titles.at(title).center());
    return WaitForMenu(known);
}

std::optional<OpenMenu> GameRun::OpenMenuByKeys(const QStringList& keys) {
    const QList<quint64> known = OtherWindows();
    x_.Keys(keys);
    return WaitForMenu(known);
}

bool GameRun::ChooseByMouse(int title, const QList<int>& path) {
    std::optional<OpenMenu> menu = OpenMenuByMouse(title);
    QList<quint64> opened;
    for (int step = 0; step < path.size(); ++step) {
        if (!menu || path[step] >= menu->entries.size())
            return false;
        opened << menu->window;
        const QList<quint64> known = OtherWindows();
        x_.Click(menu->EntryCentre(path[step]));
        if (step + 1 < path.size())
            menu = WaitForMenu(known);
    }
    for (const quint64 window : opened)
        if (!WaitUntilGone(window, kMenuTimeoutMs))
            return false;
    return true;
}

std::optional<quint64> GameRun::WaitForWindow(const QList<quint64>& known,
                                              const std::function<bool(quint64)>& matches,
                                              int timeoutMs) {
    std::optional<quint64> found;
    const bool appeared = PollUntil(
        [&] {
            for (const quint64 window : OtherWindows())
                if (!known.contains(window) && matches(window)) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return appeared ? found : std::nullopt;
}

QList<quint64> GameRun::WindowsTitled(const QString& pattern) {
    return x_.SearchWindows({QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--pid"), QString::number(Pid()),
                             QStringLiteral("--name"), pattern});
}

bool GameRun::WaitUntilGone(quint64 window, int timeoutMs) {
    return PollUntil(
        [&] {
            const auto info = x_.Window(window);
            return !info || !info->viewable;
        },
        timeoutMs);
}

bool GameRun::IsCentred(quint64 window) {
    const auto info = x_.Window(window);
    const auto frame = x_.FrameExtents(window);
    if (!info || !info->viewable || !frame)
        return false;
    // Qt centres the frame by its own whole pixels: at scale 2 each is two of the screen's, and
    // the window manager's one-pixel border is half of one. Two pixels either way are rounding.
    const QPoint offset = info->client.marginsAdded(*frame).center() -
                          QRect(QPoint(0, 0), x_.ScreenSize()).center();
    const QPoint slack =
        centreByOtherFrame_ ? QPoint(frame->left() + frame->right(), frame->top() + frame->bottom())
                            : QPoint(0, 0);
    return std::abs(offset.x()) <= 2 + slack.x() && std::abs(offset.y()) <= 2 + slack.y();
}

bool GameRun::WaitUntilCentred(quint64 window, int timeoutMs) {
    return PollUntil([&] { return IsCentred(window); }, timeoutMs);
}

bool GameRun::MenusClosed() {
    return OtherWindows().isEmpty();
}

} // namespace e2e
