// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Qt ends a program that reaches no display with a core dump and several lines of advice
// about reinstalling it. While an object of this class lives, and until Release(), Qt's
// messages are held back; should one of them be fatal, the program prints one line
// naming the display problem and ends with status 1 instead. Qt itself chooses the platform
// and connects to the display (its command-line options, QT_QPA_PLATFORM and its fallback
// list included), so the program repeats none of its rules.
//
// Meant to live around the construction of the application object, on the main thread.
class NoDisplayExit {
public:
    NoDisplayExit();
    ~NoDisplayExit();
    NoDisplayExit(const NoDisplayExit&) = delete;
    NoDisplayExit& operator=(const NoDisplayExit&) = delete;

    // Puts back the previous message handler and passes on the messages held back, in
    // their order, as if they had never been held.
    void Release();

private:
    bool released_ = false;
};
