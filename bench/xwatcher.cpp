// SPDX-License-Identifier: GPL-3.0-or-later
#include "xwatcher.h"

#include "monoclock.h"

#include <xcb/damage.h>
#include <xcb/xtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

namespace bench {
namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> Own(T* reply) {
    return Reply<T>(reply, &std::free);
}

constexpr std::uint32_t kControlL = 0xffe3;
constexpr std::uint32_t kShiftL = 0xffe1;
constexpr std::uint32_t kAltL = 0xffe9;
constexpr std::uint32_t kF1 = 0xffbe;

// "F2" -> F2, "ctrl" -> Control_L, "n" -> n; 0 when the name is unknown.
std::uint32_t KeysymFor(const std::string& name) {
    if (name == "ctrl")
        return kControlL;
    if (name == "shift")
        return kShiftL;
    if (name == "alt")
        return kAltL;
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        const int number = std::atoi(name.c_str() + 1);
        if (number >= 1 && number <= 12)
            return kF1 + static_cast<std::uint32_t>(number - 1);
    }
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z')
        return static_cast<std::uint32_t>(name[0]);
    return 0;
}

} // namespace

XWatcher::~XWatcher() {
    if (connection_)
        xcb_disconnect(connection_);
}

bool XWatcher::Connect(std::string* error) {
    // A server that has just dropped the previous run's clients can refuse a connection for
    // a moment; the program is not started yet, so a retry costs the measurement nothing.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (connection_)
            xcb_disconnect(connection_);
        connection_ = xcb_connect(nullptr, nullptr);
        if (!xcb_connection_has_error(connection_))
            break;
        usleep(100000);
    }
    if (xcb_connection_has_error(connection_)) {
        *error = "cannot connect to the X display";
        return false;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    if (!CheckExtensions(error))
        return false;
    xcb_warp_pointer(connection_, XCB_WINDOW_NONE, root_, 0, 0, 0, 0,
                     static_cast<std::int16_t>(screen->width_in_pixels - 1),
                     static_cast<std::int16_t>(screen->height_in_pixels - 1));
    LoadKeyboardMapping();
    ListenOnRoot();
    return true;
}

bool XWatcher::CheckExtensions(std::string* error) {
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection_, &xcb_test_id);
    if (!damage || !damage->present || !xtest || !xtest->present) {
        *error = "the X server lacks the DAMAGE or XTEST extension";
        return false;
    }
    damageFirstEvent_ = damage->first_event;
    // A client must announce the DAMAGE version it speaks before it uses the extension.
    Own(xcb_damage_query_version_reply(
        connection_,
        xcb_damage_query_version(connection_, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    return true;
}

void XWatcher::ListenOnRoot() {
    // Round-tripped, so the subscription is in force before the caller starts the program.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    Own(xcb_request_check(connection_, xcb_change_window_attributes_checked(
                                           connection_, root_, XCB_CW_EVENT_MASK, &mask)));
}

int XWatcher::FileDescriptor() const {
    return xcb_get_file_descriptor(connection_);
}

bool XWatcher::ConnectionBroken() const {
    return xcb_connection_has_error(connection_) != 0;
}

// Every new top-level window gets a damage object at once, before it can be mapped and
// drawn on, so no early drawing goes unseen.
void XWatcher::Track(xcb_window_t window) {
    const std::uint32_t damage = xcb_generate_id(connection_);
    xcb_damage_create(connection_, damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    damages_[window] = damage;
    xcb_flush(connection_);
}

void XWatcher::OnMapped(xcb_window_t window) {
    mapNs_ = MonotonicNs();
    window_ = window;
    if (damages_.find(window) == damages_.end())
        Track(window);
    RefreshSize();
}

void XWatcher::RefreshSize() {
    const auto geometry =
        Own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window_), nullptr));
    if (geometry) {
        width_ = geometry->width;
        height_ = geometry->height;
    }
}

void XWatcher::ProcessEvents() {
    bool damaged = false;
    std::int64_t damageNs = 0;
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
        const auto event = Own(raw);
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(raw);
            if (created->parent == root_ && !created->override_redirect)
                Track(created->window);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* mapped = reinterpret_cast<xcb_map_notify_event_t*>(raw);
            if (!Mapped() && mapped->event == root_ && !mapped->override_redirect)
                OnMapped(mapped->window);
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* configured = reinterpret_cast<xcb_configure_notify_event_t*>(raw);
            if (Mapped() && configured->window == window_) {
                width_ = configured->width;
                height_ = configured->height;
            }
        } else if (type == damageFirstEvent_ + XCB_DAMAGE_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_damage_notify_event_t*>(raw);
            if (Mapped() && notify->drawable == window_) {
                damaged = true;
                damageNs = MonotonicNs();
            }
        }
    }
    if (damaged)
        OnDamage(damageNs);
}

void XWatcher::OnDamage(std::int64_t ns) {
    lastDamageNs_ = ns;
    ++damageCount_;
    // Emptying the damage re-arms the notification for the next drawing.
    xcb_damage_subtract(connection_, damages_[window_], XCB_NONE, XCB_NONE);
    if (grabFrames_)
        GrabFrame();
    else
        xcb_flush(connection_);
}

void XWatcher::GrabFrame() {
    if (width_ == 0 || height_ == 0)
        return;
    // The X server handles requests in order: whatever the program drew before this request
    // is in the picture, so the stamp taken here is a fair upper bound for that drawing.
    const std::int64_t ns = MonotonicNs();
    const auto image = Own(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, 0, 0, width_, height_, ~0u),
        nullptr));
    if (!image)
        return; // the window went away or changed size under the request
    const std::string_view pixels(reinterpret_cast<const char*>(xcb_get_image_data(image.get())),
                                  static_cast<std::size_t>(xcb_get_image_data_length(image.get())));
    const std::uint64_t hash = std::hash<std::string_view>{}(pixels) ^
                               (std::uint64_t{width_} << 48) ^ (std::uint64_t{height_} << 32);
    frames_.push_back({ns, hash});
    if (!dumpDirectory_.empty())
        DumpFrame(xcb_get_image_data(image.get()), pixels.size(), ns);
}

void XWatcher::DumpFrame(const std::uint8_t* pixels, std::size_t length, std::int64_t ns) const {
    // 32 bits a pixel, blue first: the layout of a 24-bit depth ZPixmap on little-endian X.
    if (length < std::size_t{width_} * height_ * 4)
        return;
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%03zu-%lld.ppm", frames_.size(),
                  static_cast<long long>(ns / 1000));
    std::ofstream out(dumpDirectory_ + name, std::ios::binary);
    out << "P6\n" << width_ << ' ' << height_ << "\n255\n";
    for (std::size_t i = 0; i < std::size_t{width_} * height_; ++i) {
        const char rgb[3] = {static_cast<char>(pixels[4 * i + 2]),
                             static_cast<char>(pixels[4 * i + 1]),
                             static_cast<char>(pixels[4 * i])};
        out.write(rgb, 3);
    }
}

void XWatcher::Focus() {
    if (!Mapped())
        return;
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void XWatcher::LoadKeyboardMapping() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    minKeycode_ = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto mapping = Own(xcb_get_keyboard_mapping_reply(
        connection_,
        xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping)
        return;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    keysymsPerKeycode_ = mapping->keysyms_per_keycode;
    keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(mapping.get()));
}

xcb_keycode_t XWatcher::KeycodeFor(std::uint32_t keysym) const {
    if (keysymsPerKeycode_ == 0)
        return 0;
    for (std::size_t i = 0; i < keysyms_.size(); ++i) {
        if (keysyms_[i] == keysym)
            return static_cast<xcb_keycode_t>(minKeycode_ + i / keysymsPerKeycode_);
    }
    return 0;
}

void XWatcher::FakeKey(xcb_keycode_t code, bool press) {
    xcb_test_fake_input(connection_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code,
                        XCB_CURRENT_TIME, root_, 0, 0, 0);
}

bool XWatcher::SendKeys(const std::string& combo, std::string* error) {
    std::vector<xcb_keycode_t> codes;
    std::istringstream names(combo);
    std::string name;
    while (std::getline(names, name, '+')) {
        const std::uint32_t keysym = KeysymFor(name);
        const xcb_keycode_t code = keysym ? KeycodeFor(keysym) : 0;
        if (code == 0) {
            *error = "unknown key \"" + name + "\" in \"" + combo + "\"";
            return false;
        }
        codes.push_back(code);
    }
    Focus();
    for (const xcb_keycode_t code : codes)
        FakeKey(code, true);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it)
        FakeKey(*it, false);
    xcb_flush(connection_);
    return true;
}

} // namespace bench
