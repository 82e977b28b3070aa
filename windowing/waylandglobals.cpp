// SPDX-License-Identifier: GPL-3.0-or-later
#include "waylandglobals.h"

#include "windowing.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cstring>
#include <memory>

namespace windowing {
namespace {

struct Search {
    const char* name;
    bool found = false;
};

void OnGlobal(void* data, wl_registry* /*registry*/, std::uint32_t /*id*/, const char* interface,
              std::uint32_t /*version*/) {
    auto* search = static_cast<Search*>(data);
    if (std::strcmp(interface, search->name) == 0)
        search->found = true;
}

void OnGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*id*/) {}

constexpr wl_registry_listener kListener = {OnGlobal, OnGlobalRemoved};

wl_display* QtDisplay() {
    if (!IsWayland())
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                  : nullptr;
}

} // namespace

bool WaylandCompositorOffers(const char* name) {
    wl_display* display = QtDisplay();
    if (!display)
        return false;
    // The registry gets a queue of its own, so its events go only to this function and Qt's
    // event thread never meets an object it does not know.
    const std::unique_ptr<wl_event_queue, decltype(&wl_event_queue_destroy)> queue(
        wl_display_create_queue(display), &wl_event_queue_destroy);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    if (!queue || !wrapper)
        return false;
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue.get());
    const std::unique_ptr<wl_registry, decltype(&wl_registry_destroy)> registry(
        wl_display_get_registry(wrapper), &wl_registry_destroy);
    wl_proxy_wrapper_destroy(wrapper);
    if (!registry)
        return false;
    Search search{name};
    wl_registry_add_listener(registry.get(), &kListener, &search);
    // One round trip: the compositor announces all its globals before it answers.
    wl_display_roundtrip_queue(display, queue.get());
    return search.found;
}

} // namespace windowing
