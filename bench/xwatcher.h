// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

// One look at the watched window's contents after it was drawn on.
struct Frame {
    std::int64_t ns = 0;    // monotonic time just before the contents were read
    std::uint64_t hash = 0; // of the size and every pixel
};

// The measuring side's own X connection. It listens on the root window before the program
// starts, so it sees the program's first top-level window being created and mapped; it
// follows drawing on that window with the DAMAGE extension and types keys through XTEST,
// the same path as a real keyboard.
class XWatcher {
public:
    XWatcher() = default;
    ~XWatcher();
    XWatcher(const XWatcher&) = delete;
    XWatcher& operator=(const XWatcher&) = delete;

    // Connects to $DISPLAY, checks DAMAGE and XTEST, moves the pointer to a corner where no
    // window opens, and starts listening on the root window. False with a reason on failure.
    bool Connect(std::string* error);
    int FileDescriptor() const;
    bool ConnectionBroken() const;

    // With `grab` on, every drawing on the window is followed by a read of its contents.
    void SetGrabFrames(bool grab) { grabFrames_ = grab; }
    // Also writes every frame read to `directory` as a PPM picture (for checking by eye what
    // the measurement saw; it slows the measurement down).
    void SetDumpDirectory(const std::string& directory) { dumpDirectory_ = directory; }

    // Handles every event waiting on the connection.
    void ProcessEvents();

    bool Mapped() const { return window_ != XCB_WINDOW_NONE; }
    xcb_window_t Window() const { return window_; }
    std::int64_t MapNs() const { return mapNs_; }
    // Time of the latest drawing on the window, 0 before any.
    std::int64_t LastDamageNs() const { return lastDamageNs_; }
    // Drawing notifications on the window so far (each after the previous one was handled).
    std::uint64_t DamageCount() const { return damageCount_; }
    const std::vector<Frame>& Frames() const { return frames_; }

    // Gives the window the keyboard focus and types `combo`, like "F2", "ctrl+F3" or "n".
    bool SendKeys(const std::string& combo, std::string* error);
    // Gives the window the keyboard focus, as a window manager would on a click.
    void Focus();

private:
    bool CheckExtensions(std::string* error);
    void ListenOnRoot();
    void Track(xcb_window_t window);
    void OnMapped(xcb_window_t window);
    void OnDamage(std::int64_t ns);
    void GrabFrame();
    void DumpFrame(const std::uint8_t* pixels, std::size_t length, std::int64_t ns) const;
    void RefreshSize();
    void LoadKeyboardMapping();
    xcb_keycode_t KeycodeFor(std::uint32_t keysym) const;
    void FakeKey(xcb_keycode_t code, bool press);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::uint8_t damageFirstEvent_ = 0;
    std::map<xcb_window_t, std::uint32_t> damages_; // top-level window -> its damage object
    xcb_window_t window_ = XCB_WINDOW_NONE;
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    std::int64_t mapNs_ = 0;
    std::int64_t lastDamageNs_ = 0;
    std::uint64_t damageCount_ = 0;
    bool grabFrames_ = false;
    std::string dumpDirectory_;
    std::vector<Frame> frames_;
    // The keyboard map, read once before the program starts.
    std::vector<std::uint32_t> keysyms_;
    std::size_t keysymsPerKeycode_ = 0;
    std::uint8_t minKeycode_ = 0;
};

} // namespace bench
