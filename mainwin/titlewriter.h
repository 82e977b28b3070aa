// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

// Writes a window's title. The title scroll changes it 33 times every ten seconds, which is
// nearly all the work the game does while it waits; on X11 the title properties are written
// straight to the X connection, skipping Qt's conversion of every new title to the legacy
// compound text encoding and the bookkeeping around it. Elsewhere Qt sets the title: on
// Wayland that is a single xdg_toplevel title request with UTF-8 text, nothing to skip, and a
// request of our own beside Qt's would only leave Qt's copy of the title out of date.
class TitleWriter {
public:
    explicit TitleWriter(QWidget& window);

    void Write(const QString& title);
    // The title last written; until the first write, the window's own title.
    QString Title() const;

private:
    bool WriteX11(const QByteArray& utf8);

    QWidget& window_;
    QString title_;
    std::uint32_t netWmName_ = 0;
    std::uint32_t utf8String_ = 0;
    bool atomsLooked_ = false;
};
