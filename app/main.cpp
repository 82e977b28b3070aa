#include "frmgame.h"
#include "programicon.h"
#include "stringtable.h"
#include "windowplacement.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Qt aborts with a core dump and three lines of advice when it cannot reach the display.
// When the X platform will be used, try the display first and say plainly what is wrong.
// Returns an empty text when the display answers or another platform is chosen.
std::string DisplayProblem() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::strncmp(platform, "xcb", 3) != 0)
        return {};
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (wayland && *wayland && !platform)
            return {}; // a Wayland session without X: let Qt find its way
        return "нет графического дисплея: переменная DISPLAY не задана";
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable ? std::string() : std::string("не удалось подключиться к дисплею ") + display;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::string problem = DisplayProblem(); !problem.empty()) {
        std::fprintf(stderr, "sdvigul: %s\n", problem.c_str());
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sdvigul"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.sdvigul"));
    res::InitResources();
    // Qt's own texts (the help viewer's context menu, for one) in Russian, like every other
    // text of the program, whatever the locale.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QApplication::setWindowIcon(res::ProgramIcon());

    frmGame window;
    // The window's layout carries only the 16 and 32 px pictures.
    window.setWindowIcon(QApplication::windowIcon());
    res::CentreOnScreenOnceFramed(window);
    window.show();
    return app.exec();
}
