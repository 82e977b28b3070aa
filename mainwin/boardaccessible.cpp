// SPDX-License-Identifier: GPL-3.0-or-later
#include "boardaccessible.h"

#include "cellwidget.h"
#include "gamesession.h"
#include "tilewidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <array>

namespace board_a11y {
namespace {

// The texts only a screen reader gets. The string table's ids are the layouts' stored
// captions and stay as they are, so these live here, in one place of their own.
const char16_t kBoardName[] = u"Игровое поле";
// One word, so that a reader's line of the board has one word per column.
const char16_t kEmptyCellName[] = u"пусто";
const char16_t kCellName[] = u"клетка";
const char16_t kPlaceText[] = u"ряд %1, столбец %2";
const char16_t kMovableText[] = u", можно сдвинуть";
const char16_t kDealtText[] = u"Новая раскладка. Пусто: %1";

constexpr int kColumns = 4;
constexpr char kBoardFrameName[] = "Frame_0";
constexpr char kStatusBarName[] = "fraStatus";
constexpr char kNoticeName[] = "notice";
constexpr char kLinkName[] = "boardReaderLink";
constexpr char kWindowName[] = "frmGame"; // the main window's name in its layout

// What ties a window's board to its session, kept as a child of the window: the interfaces
// find it from any of the window's widgets. The window's session goes before its widgets do;
// a reader that asks about a widget in between gets no board texts.
class BoardLink final : public QObject {
public:
    BoardLink(QWidget& window, GameSession& session) : QObject(&window), session_(&session) {
        setObjectName(QLatin1String(kLinkName));
        for (int k = 1; k <= board::kTileCount; ++k)
            tiles_[k] = window.findChild<TileWidget*>(QStringLiteral("pC_%1").arg(k));
        for (int k = 1; k <= board::kCellCount; ++k)
            cells_[k] = window.findChild<CellWidget*>(QStringLiteral("P_%1").arg(k));
    }

    bool HasSession() const { return !session_.isNull(); }
    GameSession& Session() const { return *session_; }
    QWidget& Window() const { return *static_cast<QWidget*>(parent()); }
    TileWidget* Tile(int k) const { return board::IsTile(k) ? tiles_[k] : nullptr; }
    CellWidget* Cell(int k) const { return board::IsCell(k) ? cells_[k] : nullptr; }

private:
    QPointer<GameSession> session_;
    std::array<TileWidget*, board::kTileCount + 1> tiles_{};
    std::array<CellWidget*, board::kCellCount + 1> cells_{};
};

const BoardLink* LinkOf(const QWidget* widget) {
    // Only the link has this name among the window's own children.
    const auto* link = static_cast<const BoardLink*>(widget->window()->findChild<QObject*>(
        QLatin1String(kLinkName), Qt::FindDirectChildrenOnly));
    return link && link->HasSession() ? link : nullptr;
}

// "ряд 2, столбец 3" for cell 7: rows and columns counted from 1, as a player says them.
QString PlaceText(int cell) {
    return QString::fromUtf16(kPlaceText)
        .arg((cell - 1) / kColumns + 1)
        .arg((cell - 1) % kColumns + 1);
}

// An interface that remembers the name and description a reader could last have read, so a
// change can be told without sending a notice for every text that stayed the same.
class AnnouncingAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    void Refresh() {
        Announce(QAccessible::Name, QAccessible::NameChanged, name_);
        Announce(QAccessible::Description, QAccessible::DescriptionChanged, description_);
    }

protected:
    // Called by the subclasses once their texts can be computed.
    void Remember() {
        name_ = text(QAccessible::Name);
        description_ = text(QAccessible::Description);
    }

private:
    void Announce(QAccessible::Text which, QAccessible::Event event, QString& known) {
        const QString now = text(which);
        if (now == known)
            return;
        known = now;
        QAccessibleEvent notice(this, event);
        QAccessible::updateAccessibility(&notice);
    }

    QString name_;
    QString description_;
};

class TileAccessible final : public AnnouncingAccessible {
public:
    explicit TileAccessible(TileWidget* tile) : AnnouncingAccessible(tile, QAccessible::Button) {
        Remember();
    }

    QString text(QAccessible::Text t) const override {
        const BoardLink* link = LinkOf(widget());
        switch (t) {
        case QAccessible::Name:
            return QString::number(Tile()->index());
        case QAccessible::Description:
            return link ? TileDescription(link->Session(), Tile()->index()) : QString();
        default:
            return AnnouncingAccessible::text(t);
        }
    }

    QStringList actionNames() const override { return {pressAction()}; }

    // The move runs from the event loop, not inside the reader's call: a move that solves
    // the board opens the congratulation, and the reader must not wait for its answer.
    void doAction(const QString& actionName) override {
        const BoardLink* link = LinkOf(widget());
        if (actionName != pressAction() || !link)
            return;
        GameSession* session = &link->Session();
        const int tile = Tile()->index();
        QTimer::singleShot(0, session, [session, tile] { PressTile(*session, tile); });
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    const TileWidget* Tile() const { return static_cast<const TileWidget*>(widget()); }
};

class CellAccessible final : public AnnouncingAccessible {
public:
    explicit CellAccessible(CellWidget* cell) : AnnouncingAccessible(cell, QAccessible::Cell) {
        Remember();
    }

    QString text(QAccessible::Text t) const override {
        const int cell = static_cast<const CellWidget*>(widget())->index();
        const BoardLink* link = LinkOf(widget());
        switch (t) {
        case QAccessible::Name:
            return link ? CellName(link->Session(), cell) : QString();
        case QAccessible::Description:
            return CellDescription(cell);
        default:
            return AnnouncingAccessible::text(t);
        }
    }

    // A cell is no control of its own: it has no action, not even taking the focus.
    QStringList actionNames() const override { return {}; }
};

// The frame that holds the cells: a named group rather than an anonymous filler.
class BoardFrameAccessible final : public QAccessibleWidget {
public:
    explicit BoardFrameAccessible(QWidget* frame)
        : QAccessibleWidget(frame, QAccessible::Grouping, QString::fromUtf16(kBoardName)) {}
};

// The status rows' container reads as the window's status bar, where a reader looks for the
// move master's time and moves.
class StatusBarAccessible final : public QAccessibleWidget {
public:
    explicit StatusBarAccessible(QWidget* area) : QAccessibleWidget(area, QAccessible::StatusBar) {}
};

// A status caption or value. A reader's status-bar command reads a label's text through the
// text interface (Orca 48 skips a label without one), so the label offers its text there too:
// read only, with no caret and no selection.
class StatusLabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit StatusLabelAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? Text() : QAccessibleWidget::text(t);
    }
    QString text(int start, int end) const override { return Text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Text().size()); }
    QString attributes(int offset, int* start, int* end) const override {
        Q_UNUSED(offset);
        *start = 0;
        *end = characterCount();
        return {};
    }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}

private:
    QString Text() const { return static_cast<const QLabel*>(widget())->text(); }
};

// A notice for a screen reader: a widget that is never drawn and never takes the mouse or the
// focus. Each time it is shown, readers speak it as a notification, whatever has the focus;
// it is hidden again at once, so that a reader's review of the window never meets it.
class NoticeWidget final : public QWidget {
public:
    explicit NoticeWidget(QWidget* parent) : QWidget(parent) {
        setObjectName(QLatin1String(kNoticeName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 1, 1);
        hide();
    }

    void Say(const QString& text) {
        text_ = text;
        show();
        hide();
    }
    const QString& Text() const { return text_; }

private:
    QString text_;
};

class NoticeAccessible final : public QAccessibleWidget {
public:
    explicit NoticeAccessible(NoticeWidget* notice)
        : QAccessibleWidget(notice, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<const NoticeWidget*>(widget())->Text();
        return QAccessibleWidget::text(t);
    }
};

// Speaks `text` to a screen reader, whatever has the focus. Qt 6.8 and later announce it
// themselves, without a role word before it; before, the notice widget carries it.
void Announce(QWidget& window, const QString& text) {
    if (!QAccessible::isActive())
        return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(&window, text);
    QAccessible::updateAccessibility(&announcement);
#else
    if (auto* notice = window.findChild<NoticeWidget*>(QLatin1String(kNoticeName)))
        notice->Say(text);
#endif
}

QAccessibleInterface* Factory(const QString& key, QObject* object) {
    if (key == QLatin1String("TileWidget"))
        return new TileAccessible(static_cast<TileWidget*>(object));
    if (key == QLatin1String("CellWidget"))
        return new CellAccessible(static_cast<CellWidget*>(object));
    // Qt asks once per widget, possibly before the board is tied to its session.
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || widget->window()->objectName() != QLatin1String(kWindowName))
        return nullptr;
    if (auto* notice = dynamic_cast<NoticeWidget*>(widget))
        return new NoticeAccessible(notice);
    if (key == QLatin1String("QLabel") && widget->parentWidget() &&
        widget->parentWidget()->objectName() == QLatin1String(kStatusBarName))
        return new StatusLabelAccessible(static_cast<QLabel*>(widget));
    if (key != QLatin1String("QWidget"))
        return nullptr;
    if (object->objectName() == QLatin1String(kBoardFrameName))
        return new BoardFrameAccessible(widget);
    if (object->objectName() == QLatin1String(kStatusBarName))
        return new StatusBarAccessible(widget);
    return nullptr;
}

// A closed menu gives the keyboard focus back to the board without telling a reader, who
// would go on hearing the closed menu's item. Once the last menu has gone, the control that
// has the focus is named again.
void FocusBackFromMenu(const QWidget& window) {
    QTimer::singleShot(0, &window, [&window] {
        QWidget* focused = window.focusWidget();
        if (!QAccessible::isActive() || QApplication::activePopupWidget() || !focused ||
            !window.isActiveWindow())
            return;
        QAccessibleEvent focus(focused, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    });
}

void Refresh(QWidget* widget) {
    if (auto* announcing =
            dynamic_cast<AnnouncingAccessible*>(QAccessible::queryAccessibleInterface(widget)))
        announcing->Refresh();
}

// A tile went from one cell into another: its place and both cells' names changed.
void TileMoved(const BoardLink& link, int tile, int fromCell, int toCell) {
    if (!QAccessible::isActive() || !board::IsTile(tile))
        return;
    Refresh(link.Tile(tile));
    for (const int cell : {fromCell, toCell})
        if (board::IsCell(cell))
            Refresh(link.Cell(cell));
}

// The moved tile's new place is its new description, told as it moves. The reader that comes
// with Qt 6.8 (Orca 48) speaks a change of the focused control's description, and a notice
// would make it say the place twice; the one that comes with Qt 6.4 (Orca 43) does not.
void PlayerMoved(const BoardLink& link, int tile) {
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    if (board::IsTile(tile) && link.Tile(tile)->hasFocus())
        Announce(link.Window(),
                 PlaceText(link.Session().CurrentBoard().CellOf(static_cast<board::TileNo>(tile))));
#else
    Q_UNUSED(link);
    Q_UNUSED(tile);
#endif
}

// The hint colours were painted again: the "can move" wording may have come or gone.
void HintRepainted(const BoardLink& link) {
    if (!QAccessible::isActive())
        return;
    for (int tile = 1; tile <= board::kTileCount; ++tile)
        Refresh(link.Tile(tile));
}

} // namespace

void InstallInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void SetUp(QWidget& window, GameSession& session) {
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    if (auto* main = qobject_cast<QMainWindow*>(&window))
        new NoticeWidget(main->centralWidget()); // owned by the window
#endif
    const BoardLink* link = new BoardLink(window, session); // owned by the window
    for (QMenu* menu : window.findChildren<QMenu*>())
        QObject::connect(menu, &QMenu::aboutToHide, &window,
                         [&window] { FocusBackFromMenu(window); });
    QObject::connect(&session, &GameSession::TileMoved, link,
                     [link](int tile, int from, int to) { TileMoved(*link, tile, from, to); });
    QObject::connect(&session, &GameSession::PlayerMoved, link,
                     [link](int tile) { PlayerMoved(*link, tile); });
    QObject::connect(&session, &GameSession::HintPainted, link, [link] { HintRepainted(*link); });
    QObject::connect(&session, &GameSession::Dealt, link,
                     [link] { Announce(link->Window(), DealtText(link->Session())); });
}

void PressTile(GameSession& session, int tile) {
    // Behind a modal box the player cannot reach the board.
    if (QApplication::activeModalWidget())
        return;
    session.PressTile(tile);
}

QString TileDescription(const GameSession& session, int tile) {
    QString text = PlaceText(session.CurrentBoard().CellOf(static_cast<board::TileNo>(tile)));
    // The hint shows a movable tile only while it is on; so does this wording.
    if (session.HintOn() && session.IsMove(tile, session.GetFreeCell()))
        text += QString::fromUtf16(kMovableText);
    return text;
}

QString CellName(const GameSession& session, int cell) {
    const bool empty = session.CurrentBoard().TileAt(static_cast<board::CellNo>(cell)) == 0;
    return QString::fromUtf16(empty ? kEmptyCellName : kCellName);
}

QString DealtText(const GameSession& session) {
    return QString::fromUtf16(kDealtText).arg(PlaceText(session.GetFreeCell()));
}

QString CellDescription(int cell) {
    return PlaceText(cell);
}

} // namespace board_a11y
