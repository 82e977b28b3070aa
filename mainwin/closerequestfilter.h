#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

class QWidget;

// While a modal box is open, Qt ignores the window manager's request to close the window it
// blocks, so the close button of the main window would do nothing. This filter watches the
// X connection for that request aimed at the main window and hands it to `onClose` instead.
// Only active on the X11 platform; elsewhere it never matches.
class CloseRequestFilter final : public QAbstractNativeEventFilter {
public:
    CloseRequestFilter(const QWidget& window, std::function<void()> onClose);
    ~CloseRequestFilter() override;

    CloseRequestFilter(const CloseRequestFilter&) = delete;
    CloseRequestFilter& operator=(const CloseRequestFilter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    const QWidget& window_;
    std::function<void()> onClose_;
    std::uint32_t protocolsAtom_ = 0;
    std::uint32_t deleteWindowAtom_ = 0;
};
