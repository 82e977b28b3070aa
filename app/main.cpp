#include "frmgame.h"
#include "stringtable.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts with a core dump when it cannot reach a display; say so plainly instead.
bool DisplayReachable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void CentreOnScreen(QWidget& window) {
    window.adjustSize();
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - window.rect().center());
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (!DisplayReachable()) {
        std::fputs("sdvigul: нет графического дисплея (переменная DISPLAY не задана)\n", stderr);
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sdvigul"));
    QApplication::setDesktopFileName(QStringLiteral("sdvigul"));
    res::InitResources();

    frmGame window;
    CentreOnScreen(window);
    window.show();
    return app.exec();
}
