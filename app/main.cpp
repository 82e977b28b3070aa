// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmgame.h"
#include "nodisplayexit.h"
#include "stringtable.h"
#include "titlebarchoice.h"
#include "windowplacement.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

int main(int argc, char* argv[]) {
    // Qt picks the platform and opens the display here; if it cannot, the game says so in
    // one line and ends with status 1.
    NoDisplayExit noDisplay;
    QApplication app(argc, argv);
    noDisplay.Release();
    res::UseOwnWaylandTitleBar();
    QApplication::setApplicationName(QStringLiteral("sdvigul"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.sdvigul"));
    res::InitResources();
    // Qt's own texts (the help viewer's context menu, for one) in Russian, like every other
    // text of the program, whatever the locale.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    frmGame window;
    res::CentreOnScreenOnceFramed(window);
    window.show();
    const int status = QApplication::exec();
    // Qt's Wayland plugin can hang in its own teardown: its event thread may stop while a read
    // the main thread prepared for it is still pending, and its frame thread then waits in
    // wl_display_read_events for ever, a process without windows that never ends. The windows
    // are gone and nothing is left to save, so on Wayland the game ends here, before that.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
