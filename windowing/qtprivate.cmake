# SPDX-License-Identifier: GPL-3.0-or-later
# Qt's private interface in the game: which Qt it was written for, and what to do for the next.
#
# Of the program only windowing/ uses Qt's private interface, and only in its .cpp files (of
# the tests, tests/mainwin/tst_accessible.cpp switches Qt's accessibility bridge on with it).
# That interface may change with every Qt release; the game is written for Qt 6.4.2 (Debian
# 12) and Qt 6.8.2 (Debian 13) and tested on both. Three parts use it:
#
# - The game's own Wayland title bar (windowing/titlebar/titlebarplugin.cpp), a decoration
#   plugin of Qt's Wayland client (QWaylandAbstractDecoration, QWaylandDecorationPlugin,
#   QWaylandDecorationFactory). It is built for exactly the Qt found here, and the game loads
#   it only when it runs with that same version (windowing/titlebarchoice.cpp). Where the
#   release ships the Wayland client's private headers (Debian 13: qt6-wayland-private-dev;
#   from Qt 6.9 on they are a CMake package of their own, Qt6WaylandClientPrivate), they are
#   used. Debian 12 ships none for its Qt 6.4.2, so the three the plugin needs are kept in
#   third_party/qtwaylandclient-6.4.2. Without the headers the bar is left out and the game
#   uses Qt's stock title bar.
# - The close request filter (windowing/closerequestfilter.cpp): a QWindowSystemEventHandler
#   installed through QWindowSystemInterfacePrivate, and the test Qt makes before it drops a
#   close, QWindowPrivate's blockedByModalWindow and inClose.
# - The drop's release point (windowing/windowing.cpp): QGuiApplicationPrivate's
#   lastCursorPosition, a QLastCursorPosition in both versions, read with toPoint().
# Beside them the Wayland globals query (windowing/waylandglobals.cpp) takes Qt's wl_display
# through QPlatformNativeInterface, whose header comes with the private ones. All of them need
# Qt's private GUI headers (Debian: qt6-base-private-dev; Fedora: qt6-qtbase-private-devel;
# from Qt 6.9 on a CMake package of their own, Qt6GuiPrivate).
#
# For another Qt: install its private GUI headers and its Wayland client's, build, and run the
# tests that cover these parts (the close filter: robustness_closing; the drop: e2e_play; the
# bar: `ctest -L desktops`). Where a part no longer compiles or its test fails, the part
# follows the changed interface under a QT_VERSION check in its file. A package is built for
# one Qt: its dependency on Qt is exact.
#
# Sets SDVIGUL_OWN_TITLEBAR and, when ON, SDVIGUL_TITLEBAR_PRIVATE (the target or include
# folder that brings the Wayland client's private headers).

# From Qt 6.9 on the private GUI interface's CMake package is found on its own.
if(Qt6_VERSION VERSION_GREATER_EQUAL 6.9)
    find_package(Qt6 REQUIRED COMPONENTS GuiPrivate)
endif()

set(SDVIGUL_OWN_TITLEBAR OFF)
find_package(Qt6 QUIET COMPONENTS WaylandClient)
if(NOT Qt6WaylandClient_FOUND)
    message(STATUS "The game's own Wayland title bar is left out: Qt's Wayland client "
        "library and headers were not found (Debian: qt6-wayland-dev); Qt's stock title bar "
        "is used instead")
    return()
endif()

set(_wayland_version ${Qt6WaylandClient_VERSION})
if(_wayland_version VERSION_GREATER_EQUAL 6.9)
    find_package(Qt6 QUIET COMPONENTS WaylandClientPrivate)
endif()
set(_private_header
    QtWaylandClient/${_wayland_version}/QtWaylandClient/private/qwaylandabstractdecoration_p.h)
find_path(SDVIGUL_WAYLAND_PRIVATE_HEADERS ${_private_header}
    HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS}
    NO_CACHE)

if(SDVIGUL_WAYLAND_PRIVATE_HEADERS AND TARGET Qt6::WaylandClientPrivate)
    set(SDVIGUL_OWN_TITLEBAR ON)
    set(SDVIGUL_TITLEBAR_PRIVATE Qt6::WaylandClientPrivate)
    message(STATUS "The game's own Wayland title bar builds against the private headers of "
        "Qt's Wayland client ${_wayland_version}")
elseif(_wayland_version VERSION_EQUAL 6.4.2)
    set(SDVIGUL_OWN_TITLEBAR ON)
    set(SDVIGUL_TITLEBAR_PRIVATE ${PROJECT_SOURCE_DIR}/third_party/qtwaylandclient-6.4.2)
    message(STATUS "The game's own Wayland title bar builds against the headers of Qt's "
        "Wayland client 6.4.2 kept in third_party")
else()
    message(STATUS "The game's own Wayland title bar is left out: the private headers of "
        "Qt's Wayland client ${_wayland_version} are not installed (${_private_header}; "
        "Debian: qt6-wayland-private-dev); Qt's stock title bar is used instead")
endif()
