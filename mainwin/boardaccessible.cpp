// SPDX-License-Identifier: GPL-3.0-or-later
#include "boardaccessible.h"

#include "cellwidget.h"
#include "frmgame.h"
#include "tilewidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace board_a11y {
namespace {

// The texts only a screen reader gets. The string table's ids are the layouts' stored
// captions and stay as they are, so these live here, in one place of their own.
const char16_t kBoardName[] = u"Игровое поле";
const char16_t kEmptyCellName[] = u"пустая клетка";
const char16_t kCellName[] = u"клетка";
const char16_t kPlaceText[] = u"ряд %1, столбец %2";
const char16_t kMovableText[] = u", можно сдвинуть";

constexpr int kColumns = 4;
constexpr int kHintItem = 4;
constexpr char kBoardFrameName[] = "Frame_0";

const frmGame* GameOf(const QWidget* widget) {
    return qobject_cast<const frmGame*>(widget->window());
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
        const frmGame* game = GameOf(widget());
        switch (t) {
        case QAccessible::Name:
            return QString::number(Tile()->index());
        case QAccessible::Description:
            return game ? TileDescription(*game, Tile()->index()) : QString();
        default:
            return AnnouncingAccessible::text(t);
        }
    }

    QStringList actionNames() const override { return {pressAction()}; }

    // The move runs from the event loop, not inside the reader's call: a move that solves
    // the board opens the congratulation, and the reader must not wait for its answer.
    void doAction(const QString& actionName) override {
        auto* game = qobject_cast<frmGame*>(widget()->window());
        if (actionName != pressAction() || !game)
            return;
        const int tile = Tile()->index();
        QTimer::singleShot(0, game, [game, tile] { PressTile(*game, tile); });
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
        const frmGame* game = GameOf(widget());
        switch (t) {
        case QAccessible::Name:
            return game ? CellName(*game, cell) : QString();
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

// A status value reads as its own text only. Qt's label would fall back on its caption while
// the value is empty (the master is off), and a reader would say "Ход: Ход:".
class StatusValueAccessible final : public QAccessibleWidget {
public:
    explicit StatusValueAccessible(QLabel* value)
        : QAccessibleWidget(value, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

bool IsStatusValue(const QObject* object) {
    const auto* label = qobject_cast<const QLabel*>(object);
    const frmGame* game = label ? GameOf(label) : nullptr;
    return game && (label == game->TimeLabel() || label == game->MoveLabel());
}

QAccessibleInterface* Factory(const QString& key, QObject* object) {
    if (key == QLatin1String("TileWidget"))
        return new TileAccessible(static_cast<TileWidget*>(object));
    if (key == QLatin1String("CellWidget"))
        return new CellAccessible(static_cast<CellWidget*>(object));
    if (key == QLatin1String("QLabel") && IsStatusValue(object))
        return new StatusValueAccessible(static_cast<QLabel*>(object));
    if (key == QLatin1String("QWidget") && object->objectName() == QLatin1String(kBoardFrameName)) {
        auto* frame = static_cast<QWidget*>(object);
        if (qobject_cast<frmGame*>(frame->window()))
            return new BoardFrameAccessible(frame);
    }
    return nullptr;
}

void Refresh(QWidget* widget) {
    if (auto* announcing =
            dynamic_cast<AnnouncingAccessible*>(QAccessible::queryAccessibleInterface(widget)))
        announcing->Refresh();
}

// The value label reads as "Ход: 12": the caption becomes its label for a reader. The
// captions have no access key, so the buddy adds no shortcut.
void LabelValue(const frmGame& game, const char* captionName, QLabel* value) {
    if (auto* caption = game.findChild<QLabel*>(QLatin1String(captionName)))
        caption->setBuddy(value);
}

} // namespace

void SetUp(frmGame& game) {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
    LabelValue(game, "lblTimeCap", game.TimeLabel());
    LabelValue(game, "lblHodCap", game.MoveLabel());
}

void TileMoved(const frmGame& game, int tile, int fromCell, int toCell) {
    if (!QAccessible::isActive() || !board::IsTile(tile))
        return;
    Refresh(game.Tile(tile));
    for (const int cell : {fromCell, toCell})
        if (board::IsCell(cell))
            Refresh(game.Cell(cell));
}

void HintRepainted(const frmGame& game) {
    if (!QAccessible::isActive())
        return;
    for (int tile = 1; tile <= board::kTileCount; ++tile)
        Refresh(game.Tile(tile));
}

void PressTile(frmGame& game, int tile) {
    // Before the first deal the board is hidden; behind a modal box the player cannot reach it.
    if (!game.Started() || !board::IsTile(tile) || QApplication::activeModalWidget())
        return;
    if (game.Tile(tile)->dragMode() == TileWidget::Manual) {
        game.pC_Click(tile);
        return;
    }
    // Nobody drags through a screen reader: the tile is picked up, dropped on the empty cell
    // and the drag ends, as a mouse drag does.
    game.pC_DragOver(tile);
    game.P_DragDrop(game.GetFreeCell());
    game.pC_DragEnded(tile);
}

QString TileDescription(const frmGame& game, int tile) {
    const board::Board& position = game.CurrentBoard();
    QString text = PlaceText(position.CellOf(static_cast<board::TileNo>(tile)));
    // The hint shows a movable tile only while it is on; so does this wording.
    if (game.GameItem(kHintItem)->isChecked() && game.IsMove(tile, game.GetFreeCell()))
        text += QString::fromUtf16(kMovableText);
    return text;
}

QString CellName(const frmGame& game, int cell) {
    const bool empty = game.CurrentBoard().TileAt(static_cast<board::CellNo>(cell)) == 0;
    return QString::fromUtf16(empty ? kEmptyCellName : kCellName);
}

QString CellDescription(int cell) {
    return PlaceText(cell);
}

} // namespace board_a11y
