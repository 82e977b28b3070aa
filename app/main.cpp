// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmgame.h"
#include "nodisplayexit.h"
#include "stringtable.h"
#include "windowing.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    // Qt picks the platform and opens the display here; if it cannot, the game says so in
    // one line and ends with status 1.
    NoDisplayExit noDisplay;
    QApplication app(argc, argv);
    noDisplay.Release();
    windowing::PrepareApplication();
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
    windowing::CentreOnceFramed(window);
    window.show();
    // On Wayland the process ends here, before Qt's teardown.
    return windowing::EndAfterEventLoop(QApplication::exec());
}
