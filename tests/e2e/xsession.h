// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace e2e {

// Asks `check` again and again, with a short pause between, until it holds or `timeoutMs`
// pass; the pause keeps a poll that runs an X tool from starving the game of CPU.
bool PollUntil(const std::function<bool()>& check, int timeoutMs, int pauseMs = 30);

// A window as the X server sees it: where its client area lies on the screen.
struct WindowInfo {
    QRect client;          // absolute position and size, without the decoration
    bool viewable = false; // mapped and all its ancestors mapped
};

// A private X server with a window manager on it, and the X tools that drive and read it.
// The test process itself never connects to the server: every look and every input goes
// through a tool started with this server's DISPLAY.
class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts Xvfb and openbox; false with a reason in `error` when either does not come up.
    bool Start(QString* error);
    // Starts Xvfb alone, for a test that brings its own window manager or compositor.
    bool StartServerOnly(QString* error) { return StartServer(error); }
    QString Display() const { return display_; }
    // The test's environment with this DISPLAY, for the programs started on the server.
    QProcessEnvironment Environment() const;
    // Lets `process` die with the test process, so a killed test leaves nothing behind.
    static void TieToTest(QProcess& process);

    // Runs an X tool on this server and waits for it. nullopt when it fails or hangs.
    std::optional<QByteArray> Run(const QString& program, const QStringList& arguments,
                                  int timeoutMs = 10000) const;

    // Screen contents; a null image when the screenshot fails. The last one is kept.
    QImage Screenshot();
    const QImage& LastScreenshot() const { return lastScreenshot_; }
    QSize ScreenSize() const;
    // The size of the picture the pointer wears now (XFixes); empty when it cannot be read.
    std::optional<QSize> PointerPictureSize() const;

    // Real input through the XTEST extension.
    void MoveMouse(QPoint to);
    void Click(QPoint at);
    // Presses at `from`, moves to `to` in a few steps and releases there.
    void Drag(QPoint from, QPoint to);
    // Key names as xdotool knows them: "F2", "ctrl+F3", "alt+Cyrillic_i", "Return".
    void Keys(const QStringList& keys);
    // Runs a prepared chain of xdotool commands in one go (faster for long click runs).
    bool Xdotool(const QStringList& commands);

    // Window lookup; empty when nothing matches.
    QList<quint64> SearchWindows(const QStringList& criteria);
    QList<quint64> VisibleWindowsOfPid(qint64 pid);
    std::optional<QString> WindowName(quint64 window);
    std::optional<WindowInfo> Window(quint64 window);
    std::optional<QMargins> FrameExtents(quint64 window);
    // xprop's text for one property of a window, empty when it cannot be read.
    QString Property(quint64 window, const QString& name);
    bool Activate(quint64 window);

private:
    bool StartServer(QString* error);
    bool UseRussianKeyboard(QString* error);
    bool StartWindowManager(QString* error);
    bool StartOpenbox(QString* error);
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> windowManager_;
    QString display_;
    QImage lastScreenshot_;
};

// Ends a process politely, then by force if it does not go within a few seconds.
void StopProcess(QProcess& process);

} // namespace e2e
