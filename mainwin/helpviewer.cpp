// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpviewer.h"

#include "stringtable.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int kDefaultWidth = 560;
constexpr int kDefaultHeight = 420;
} // namespace

HelpViewer::HelpViewer(QWidget* owner)
    : QWidget(owner, Qt::Window), textView_(new QPlainTextEdit(this)) {
    textView_->setReadOnly(true);
    textView_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Read-only still lets the player select and copy text with the keyboard.
    textView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* const layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(textView_);

    setFocusProxy(textView_);
    resize(kDefaultWidth, kDefaultHeight);
}

void HelpViewer::ShowText(const help::HelpText& help) {
    setWindowTitle(help.fileName + QStringLiteral(" - ") + res::AppTitle());
    // Replacing identical text would only throw the reader back to the top.
    if (textView_->toPlainText() != help.text) {
        textView_->setPlainText(help.text);
    }
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    textView_->setFocus(Qt::ActiveWindowFocusReason);
}

QString HelpViewer::text() const {
    return textView_->toPlainText();
}

// The text view leaves Esc unhandled, so it arrives here; closing only hides the window, and
// the owner shows the same one again on the next request.
void HelpViewer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
