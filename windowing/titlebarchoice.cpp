// SPDX-License-Identifier: GPL-3.0-or-later
#include "titlebarchoice.h"

#include "windowing.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace windowing {
namespace {

bool chosen = false;

} // namespace

void UseOwnWaylandTitleBar() {
#ifdef SDVIGUL_PLUGIN_RELATIVE_DIR
    if (!IsWayland() || qEnvironmentVariableIsSet("QT_WAYLAND_DECORATION"))
        return;
    // The bar uses Qt's private interface, which may change with any version.
    if (qstrcmp(qVersion(), QT_VERSION_STR) != 0)
        return;
    const QString plugins =
        QCoreApplication::applicationDirPath() + QLatin1String("/" SDVIGUL_PLUGIN_RELATIVE_DIR);
    if (!QFileInfo::exists(plugins + QLatin1String("/wayland-decoration-client")))
        return;
    QCoreApplication::addLibraryPath(plugins);
    // Qt reads the choice each time it gives a window its title bar.
    qputenv("QT_WAYLAND_DECORATION", "sdvigul");
    chosen = true;
#endif
}

bool OwnWaylandTitleBarInUse() {
    return chosen;
}

} // namespace windowing
