// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "helpfile.h"

#include <QWidget>

class QKeyEvent;
class QPlainTextEdit;

// The help file's text in a read-only window of its own. It stays open beside the game (not
// modal); showing it again refreshes the text and brings the same window to the front.
class HelpViewer : public QWidget {
    Q_OBJECT

public:
    // `owner` is the main window: the viewer is its child, so it goes away with it.
    explicit HelpViewer(QWidget* owner);

    // Puts `help` in the window, shows it and gives it the keyboard focus.
    void ShowText(const help::HelpText& help);

    QString text() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* textView_;
};
