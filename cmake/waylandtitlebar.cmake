# SPDX-License-Identifier: GPL-3.0-or-later
# Whether the game's own Wayland title bar can be built, and against which headers.
#
# The title bar is a decoration plugin of Qt's Wayland client and builds on its private
# interface, which may change with every Qt release: the plugin is built for exactly the Qt
# found here, and the game loads it only when it runs with that same version
# (resources/titlebarchoice.cpp). Where the release ships the private headers (Debian 13:
# qt6-wayland-private-dev; from Qt 6.9 on they are a CMake package of their own,
# Qt6WaylandClientPrivate), they are used. Debian 12 ships none for its Qt 6.4.2, so the three
# the plugin needs are kept in third_party/qtwaylandclient-6.4.2.
#
# For another Qt: install its Wayland client's private headers; if the plugin then fails to
# compile, mainwin/titlebar/titlebarplugin.cpp follows the changed decoration interface
# (QWaylandAbstractDecoration) under a QT_VERSION check. Without the headers the game uses
# Qt's stock title bar.
#
# Sets SDVIGUL_OWN_TITLEBAR and, when ON, SDVIGUL_TITLEBAR_PRIVATE (the target or include
# folder that brings the private headers).

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
