// SPDX-License-Identifier: GPL-3.0-or-later
#include "xsession.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <sys/prctl.h>

namespace e2e {

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 3000;
constexpr int kDragSteps = 5;

QString Number(int value) {
    return QString::number(value);
}

QString Seconds(double seconds) {
    return QString::number(seconds, 'f', 3);
}

// The number that follows `label` in xwininfo's report, e.g. "Width: 247".
std::optional<int> ReportedNumber(const QString& report, const QString& label) {
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     QStringLiteral(":\\s*(-?\\d+)"));
    const QRegularExpressionMatch match = pattern.match(report);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

} // namespace

bool PollUntil(const std::function<bool()>& check, int timeoutMs, int pauseMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (check())
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(pauseMs);
    }
}

XSession::XSession() = default;

XSession::~XSession() {
    if (windowManager_)
        StopProcess(*windowManager_);
    if (server_)
        StopProcess(*server_);
}

void XSession::TieToTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool XSession::Start(QString* error) {
    return StartServer(error) && UseRussianKeyboard(error) && StartWindowManager(error);
}

// With the Cyrillic letters on the keyboard, xdotool presses them like any other key. Without,
// it maps each one onto a spare key just for the press and back at once, and a program that
// reads the keyboard map late sees another letter or none: the access keys of the Russian
// menus would fail now and then.
bool XSession::UseRussianKeyboard(QString* error) {
    if (Run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("ru")}))
        return true;
    *error = QStringLiteral("setxkbmap cannot switch the keyboard to the Russian layout");
    return false;
}

// Xvfb picks a free display itself and writes its number to the given descriptor once it
// accepts clients; descriptor 1 is the pipe QProcess reads. Without -noreset the server would
// start afresh whenever its last client leaves, dropping the keyboard layout set below and
// refusing clients that connect meanwhile.
bool XSession::StartServer(QString* error) {
    server_ = std::make_unique<QProcess>();
    server_->setProgram(QStringLiteral("Xvfb"));
    server_->setArguments(
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight),
         QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    server_->setStandardErrorFile(QProcess::nullDevice());
    TieToTest(*server_);
    server_->start();
    if (!server_->waitForStarted(kStartTimeoutMs)) {
        *error = QStringLiteral("Xvfb does not start: ") + server_->errorString();
        return false;
    }
    QByteArray output;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!output.contains('\n') && !deadline.hasExpired()) {
        if (server_->state() != QProcess::Running)
            break;
        server_->waitForReadyRead(100);
        output += server_->readAllStandardOutput();
    }
    bool ok = false;
    const int number = output.trimmed().toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("Xvfb reported no display number");
        return false;
    }
    display_ = QStringLiteral(":%1").arg(number);
    return true;
}

// Openbox announces itself on the root window once it manages the screen. It is started again
// if it ends before that, which a busy machine has been seen to cause.
bool XSession::StartWindowManager(QString* error) {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        if (StartOpenbox(error))
            return true;
    return false;
}

bool XSession::StartOpenbox(QString* error) {
    windowManager_ = std::make_unique<QProcess>();
    windowManager_->setProgram(QStringLiteral("openbox"));
    windowManager_->setProcessEnvironment(Environment());
    windowManager_->setStandardOutputFile(QProcess::nullDevice());
    windowManager_->setStandardErrorFile(QProcess::nullDevice());
    TieToTest(*windowManager_);
    windowManager_->start();
    if (!windowManager_->waitForStarted(kStartTimeoutMs)) {
        *error = QStringLiteral("openbox does not start: ") + windowManager_->errorString();
        return false;
    }
    const bool managed = PollUntil(
        [this] {
            if (windowManager_->state() != QProcess::Running)
                return true;
            const auto check =
                Run(QStringLiteral("xprop"), {QStringLiteral("-root"), "_NET_SUPPORTING_WM_CHECK"});
            return check && check->contains("window id");
        },
        kStartTimeoutMs, 100);
    if (managed && windowManager_->state() == QProcess::Running)
        return true;
    *error = windowManager_->state() == QProcess::Running
                 ? QStringLiteral("openbox does not take over the screen")
                 : QStringLiteral("openbox ended at start (exit status %1)")
                       .arg(windowManager_->exitCode());
    StopProcess(*windowManager_);
    return false;
}

void StopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(kStopTimeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
    }
}

QProcessEnvironment XSession::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The test runs offscreen; what it starts belongs on this server and nowhere else.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), display_);
    return environment;
}

std::optional<QByteArray> XSession::Run(const QString& program, const QStringList& arguments,
                                        int timeoutMs) const {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(Environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    TieToTest(process);
    process.start();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// PPM, not PNG: compressing a desktop's gradient background costs import more than a second.
QImage XSession::Screenshot() {
    const auto ppm =
        Run(QStringLiteral("import"), {QStringLiteral("-silent"), QStringLiteral("-window"),
                                       QStringLiteral("root"), QStringLiteral("ppm:-")});
    QImage image;
    if (ppm && image.loadFromData(*ppm, "PPM"))
        lastScreenshot_ = image.convertToFormat(QImage::Format_RGB32);
    else
        lastScreenshot_ = QImage();
    return lastScreenshot_;
}

QSize XSession::ScreenSize() const {
    return {kScreenWidth, kScreenHeight};
}

std::optional<QSize> XSession::PointerPictureSize() const {
    using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;
    const Connection connection(xcb_connect(display_.toLocal8Bit().constData(), nullptr),
                                &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()))
        return std::nullopt;
    // XFixes answers nothing before the client has said which version it speaks.
    std::free(xcb_xfixes_query_version_reply(connection.get(),
                                             xcb_xfixes_query_version(connection.get(),
                                                                      XCB_XFIXES_MAJOR_VERSION,
                                                                      XCB_XFIXES_MINOR_VERSION),
                                             nullptr));
    const std::unique_ptr<xcb_xfixes_get_cursor_image_reply_t, decltype(&std::free)> image(
        xcb_xfixes_get_cursor_image_reply(connection.get(),
                                          xcb_xfixes_get_cursor_image(connection.get()), nullptr),
        &std::free);
    if (!image)
        return std::nullopt;
    return QSize(image->width, image->height);
}

bool XSession::Xdotool(const QStringList& commands) {
    return Run(QStringLiteral("xdotool"), commands, 60000).has_value();
}

// Short pauses let the game see the pointer arrive before a button changes.
void XSession::MoveMouse(QPoint to) {
    Xdotool({QStringLiteral("mousemove"), Number(to.x()), Number(to.y()), QStringLiteral("sleep"),
             Seconds(0.05)});
}

void XSession::Click(QPoint at) {
    Xdotool({QStringLiteral("mousemove"), Number(at.x()), Number(at.y()), QStringLiteral("sleep"),
             Seconds(0.05), QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("sleep"),
             Seconds(0.05)});
}

void XSession::Drag(QPoint from, QPoint to) {
    QStringList commands{
        QStringLiteral("mousemove"), Number(from.x()),        Number(from.y()),
        QStringLiteral("sleep"),     Seconds(0.08),           QStringLiteral("mousedown"),
        QStringLiteral("1"),         QStringLiteral("sleep"), Seconds(0.15)};
    for (int step = 1; step <= kDragSteps; ++step) {
        const QPoint at = from + (to - from) * step / kDragSteps;
        commands << QStringLiteral("mousemove") << Number(at.x()) << Number(at.y())
                 << QStringLiteral("sleep") << Seconds(0.06);
    }
    commands << QStringLiteral("sleep") << Seconds(0.1) << QStringLiteral("mouseup")
             << QStringLiteral("1") << QStringLiteral("sleep") << Seconds(0.1);
    Xdotool(commands);
}

void XSession::Keys(const QStringList& keys) {
    Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
            keys);
}

QList<quint64> XSession::SearchWindows(const QStringList& criteria) {
    QList<quint64> windows;
    const auto output =
        Run(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + criteria);
    if (!output)
        return windows; // xdotool fails when nothing matches
    for (const QByteArray& line : output->split('\n')) {
        bool ok = false;
        const quint64 id = line.trimmed().toULongLong(&ok);
        if (ok)
            windows << id;
    }
    return windows;
}

QList<quint64> XSession::VisibleWindowsOfPid(qint64 pid) {
    return SearchWindows(
        {QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)});
}

std::optional<QString> XSession::WindowName(quint64 window) {
    const auto output =
        Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)});
    if (!output)
        return std::nullopt;
    QString name = QString::fromUtf8(*output);
    if (name.endsWith(QLatin1Char('\n')))
        name.chop(1); // only the line end: a scrolling title has blanks that count
    return name;
}

// xwininfo rather than `xdotool getwindowgeometry`: that xdotool adds the decoration's offset
// a second time under a reparenting window manager.
std::optional<WindowInfo> XSession::Window(quint64 window) {
    const auto output =
        Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!output)
        return std::nullopt;
    const QString report = QString::fromUtf8(*output);
    const auto x = ReportedNumber(report, QStringLiteral("Absolute upper-left X"));
    const auto y = ReportedNumber(report, QStringLiteral("Absolute upper-left Y"));
    const auto width = ReportedNumber(report, QStringLiteral("Width"));
    const auto height = ReportedNumber(report, QStringLiteral("Height"));
    if (!x || !y || !width || !height)
        return std::nullopt;
    WindowInfo info;
    info.client = QRect(*x, *y, *width, *height);
    info.viewable = report.contains(QStringLiteral("Map State: IsViewable"));
    return info;
}

std::optional<QMargins> XSession::FrameExtents(quint64 window) {
    const QString text = Property(window, QStringLiteral("_NET_FRAME_EXTENTS"));
    const QRegularExpression pattern(
        QStringLiteral("=\\s*(\\d+),\\s*(\\d+),\\s*(\\d+),\\s*(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    // The property lists left, right, top, bottom.
    return QMargins(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(2).toInt(),
                    match.captured(4).toInt());
}

QString XSession::Property(quint64 window, const QString& name) {
    const auto output =
        Run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name});
    return output ? QString::fromUtf8(*output) : QString();
}

bool XSession::Activate(quint64 window) {
    return Run(QStringLiteral("xdotool"),
               {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                QString::number(window)},
               5000)
        .has_value();
}

} // namespace e2e
