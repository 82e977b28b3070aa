// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowing.h"

#include "titlebarchoice.h"
#include "titlesystem.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace windowing {
namespace {

// U+034F COMBINING GRAPHEME JOINER: printable and no blank in Qt's eyes, so neither the
// removal of unprintable characters nor QString::simplified() touches it, and it has no
// glyph and no width of its own.
constexpr char16_t kInvisibleJoiner = u'\u034F';

// Runs an action once after the next paint of the widget it watches has been flushed.
class AfterPaint final : public QObject {
public:
    explicit AfterPaint(std::function<void()> action) : action_(std::move(action)) {}

    void Watch(QWidget& widget) { widget.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the paint event comes before the flush that shows it.
            QMetaObject::invokeMethod(this, action_, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

class TitleWriter::Writer {
public:
    explicit Writer(QWidget& window) : window_(window) {}

    void Write(const QString& title);
    QString Title() const { return title_.isNull() ? window_.windowTitle() : title_; }

private:
    bool ManagerFoldsBlanks();
    void RepaintOwnTitleBar();
    QWidget& CornerWidget() const;
    void RepaintCorner() const;
    void RepaintTitleBarAgain() const;

    QWidget& window_;
    // Waits for the paint that brought a new title to Qt's title bar, then asks for the next.
    std::unique_ptr<AfterPaint> titleBarPainted_;
    QString title_;
    // Asked once, the first time a title starts with a blank.
    std::optional<bool> foldsBlanks_;
};

TitleWriter::TitleWriter(QWidget& window) : writer_(std::make_unique<Writer>(window)) {}

TitleWriter::~TitleWriter() = default;

void TitleWriter::Write(const QString& title) {
    writer_->Write(title);
}

QString TitleWriter::Title() const {
    return writer_->Title();
}

QString TitleWriter::KeepLeadingBlanks(const QString& title) {
    qsizetype blanks = 0;
    while (blanks < title.size() && title[blanks] == QLatin1Char(' '))
        ++blanks;
    if (blanks == 0)
        return title;
    QString kept;
    kept.reserve(title.size() + blanks);
    for (qsizetype i = 0; i < blanks; ++i)
        kept.append(QChar(kInvisibleJoiner)).append(QLatin1Char(' '));
    return kept.append(QStringView(title).mid(blanks));
}

void TitleWriter::Writer::Write(const QString& title) {
    title_ = title;
    const bool leadingBlank = title.startsWith(QLatin1Char(' '));
    const QString sent = leadingBlank && ManagerFoldsBlanks() ? KeepLeadingBlanks(title) : title;
    if (WriteTitleProperties(window_, sent.toUtf8()))
        return;
    window_.setWindowTitle(sent);
    RepaintOwnTitleBar();
}

bool TitleWriter::Writer::ManagerFoldsBlanks() {
    if (!foldsBlanks_)
        foldsBlanks_ = ManagerFoldsCaptionBlanks(window_);
    return *foldsBlanks_;
}

void TitleWriter::Writer::RepaintOwnTitleBar() {
    // Qt's Wayland decorations are the only frame a client draws itself; they show as frame
    // margins of the window. The title bar is painted into the window's buffer when the next
    // change of the contents is flushed, so one pixel of the contents is repainted for it.
    const QWindow* handle = window_.windowHandle();
    if (!handle || !window_.isVisible() || !IsWayland())
        return;
    if (handle->frameMargins().top() <= 0)
        return;
    RepaintCorner();
    // Qt's stock bar centres a new title at its first paint by its width in the application's
    // font; only its next paint measures the title in the font it is drawn with. The game's
    // own bar measures in the drawing font from the start.
    if (OwnWaylandTitleBarInUse())
        return;
    if (!titleBarPainted_)
        titleBarPainted_ = std::make_unique<AfterPaint>([this] { RepaintTitleBarAgain(); });
    titleBarPainted_->Watch(CornerWidget());
}

void TitleWriter::Writer::RepaintTitleBarAgain() const {
    QWindow* handle = window_.windowHandle();
    if (!handle || !window_.isVisible())
        return;
    // Handing the bar the same title again marks it for another paint; the window system
    // keeps the title it already has.
    handle->setTitle(handle->title());
    RepaintCorner();
}

// The widget that shows the window's last pixel: a pixel of the window hidden under an opaque
// child would be dropped from a repaint and flush nothing.
QWidget& TitleWriter::Writer::CornerWidget() const {
    QWidget* shown = window_.childAt(window_.width() - 1, window_.height() - 1);
    return shown ? *shown : window_;
}

void TitleWriter::Writer::RepaintCorner() const {
    QWidget& shown = CornerWidget();
    const QPoint corner(window_.width() - 1, window_.height() - 1);
    shown.update(QRect(shown.mapFrom(&window_, corner), QSize(1, 1)));
}

} // namespace windowing
