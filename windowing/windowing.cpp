// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowing.h"

#include "programicon.h"
#include "titlebarchoice.h"
#include "windowplacement.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QtGui/private/qguiapplication_p.h>

#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace windowing {
namespace {

constexpr int kFullIconDelayMs = 1000;

// The large pictures decoded and converted for the desktop a moment ago are freed, but the C
// library keeps the heap they grew for the next allocation; the game will not need it again.
void ReturnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void SetProgramIcon(QWidget& window) {
    // Qt converts the application's icon for the desktop when it creates any window, before
    // it turns to the window's own, so the application's starts small too.
    QApplication::setWindowIcon(res::SmallProgramIcon());
    window.setWindowIcon(res::SmallProgramIcon());
    QTimer::singleShot(kFullIconDelayMs, &window, [&window] {
        QApplication::setWindowIcon(res::ProgramIcon());
        window.setWindowIcon(res::ProgramIcon());
        ReturnFreedMemory();
    });
}

} // namespace

bool IsWayland() {
    static std::optional<bool> wayland;
    if (!wayland) {
        const QString platform = QGuiApplication::platformName();
        if (platform.isEmpty())
            return false; // no platform chosen yet
        wayland = platform.startsWith(QLatin1String("wayland"));
    }
    return *wayland;
}

Qt::WindowFlags FixedFrameFlags() {
#ifdef Q_OS_WIN
    return Qt::MSWindowsFixedSizeDialogHint;
#else
    return {};
#endif
}

void PrepareApplication() {
    UseOwnWaylandTitleBar();
}

int EndAfterEventLoop(int status) {
    if (IsWayland()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

void DressMainWindow(QWidget& window) {
    KeepFixedWindowsUnmaximised();
    SetProgramIcon(window);
}

std::optional<QPoint> ReleasedPointer() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    return QGuiApplicationPrivate::lastCursorPosition.toPoint();
}

} // namespace windowing
