// SPDX-License-Identifier: GPL-3.0-or-later
#include "displayprobe.h"

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// QT_QPA_PLATFORM when it is set (a list separated by ';', each name possibly followed by
// ':' and arguments); otherwise Wayland first in a Wayland session, then X11.
std::vector<std::string> PlatformsQtTries() {
    std::vector<std::string> platforms;
    if (const std::string chosen = Env("QT_QPA_PLATFORM"); !chosen.empty()) {
        std::istringstream list(chosen);
        for (std::string entry; std::getline(list, entry, ';');)
            if (!entry.empty())
                platforms.push_back(entry.substr(0, entry.find(':')));
        return platforms;
    }
    if (!Env("WAYLAND_DISPLAY").empty() || Env("XDG_SESSION_TYPE") == "wayland")
        platforms.emplace_back("wayland");
    platforms.emplace_back("xcb");
    return platforms;
}

std::string X11Problem() {
    const std::string display = Env("DISPLAY");
    if (display.empty())
        return "нет графического дисплея: переменная DISPLAY не задана";
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable ? std::string() : "не удалось подключиться к дисплею " + display;
}

// Finds the compositor's socket the way the Wayland client library does and connects to it.
std::string WaylandProblem() {
    if (!Env("WAYLAND_SOCKET").empty())
        return {}; // an already connected socket, handed down by the compositor
    std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty())
        name = "wayland-0";
    std::string path = name;
    if (name.front() != '/') {
        const std::string runtimeDir = Env("XDG_RUNTIME_DIR");
        if (runtimeDir.empty())
            return "нет дисплея Wayland: переменная XDG_RUNTIME_DIR не задана";
        path = runtimeDir + '/' + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool reachable = false;
    if (fd >= 0 && path.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        reachable = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    return reachable ? std::string() : "не удалось подключиться к дисплею Wayland " + name;
}

} // namespace

std::string DisplayProblem() {
    std::string problems;
    for (const std::string& platform : PlatformsQtTries()) {
        std::string problem;
        if (platform == "xcb")
            problem = X11Problem();
        else if (platform.rfind("wayland", 0) == 0)
            problem = WaylandProblem();
        if (problem.empty())
            return {}; // Qt takes the first platform that starts
        problems += (problems.empty() ? "" : "; ") + problem;
    }
    return problems;
}
