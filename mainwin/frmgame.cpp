// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmgame.h"

#include "boardaccessible.h"
#include "cellwidget.h"
#include "frmabout.h"
#include "frmshirt.h"
#include "helpfile.h"
#include "helpviewer.h"
#include "hint.h"
#include "messagebox.h"
#include "shuffle.h"
#include "stringtable.h"
#include "textfit.h"
#include "tilewidget.h"
#include "windowing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kScrollIntervalMs = 100;
constexpr int kScrollPeriodMs = 10000;
constexpr int kMasterIntervalMs = 100;
constexpr int kSecondsPerDay = 24 * 60 * 60;
constexpr int kPlainTitleLength = 8;           // the scroll stops once the title stands alone again
constexpr char kCaptionProperty[] = "caption"; // where a separator keeps its stored "-"

QColor ColorFromRgb(std::uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Hours without a leading zero, minutes and seconds with two digits: 0:02:05.
QString FormatLongTime(int seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The congratulation is answered by Yes or No only. A message box takes Esc and a close
// request (its title bar's button, the window manager) as No, which would end the game when
// the player only wanted the box out of the way; while it is open, both are dropped.
class AnswerRequired final : public QObject {
public:
    explicit AnswerRequired(const QWidget& owner) : owner_(owner) {
        qApp->installEventFilter(this);
    }
    ~AnswerRequired() override { qApp->removeEventFilter(this); }
    AnswerRequired(const AnswerRequired&) = delete;
    AnswerRequired& operator=(const AnswerRequired&) = delete;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const bool key = event->type() == QEvent::KeyPress;
        if (!key && event->type() != QEvent::Close)
            return false;
        const auto* widget = qobject_cast<QWidget*>(receiver);
        const auto* box = qobject_cast<const QMessageBox*>(widget ? widget->window() : nullptr);
        if (!box || box->parentWidget() != &owner_)
            return false;
        if (key)
            return static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel);
        if (box->clickedButton())
            return false; // the box closes after an answer
        event->ignore();  // an ignored close leaves the box open
        return true;
    }

private:
    const QWidget& owner_;
};

} // namespace

frmGame::frmGame(QWidget* parent)
    : QMainWindow(parent), ownClock_(std::make_unique<board::SystemClock>()),
      ownRandom_(std::make_unique<board::ClockMixedRandom>(*ownClock_)), clock_(ownClock_.get()),
      random_(ownRandom_.get()) {
    Form_Load();
}

frmGame::frmGame(const board::Clock& clock, board::RandomSource& random, QWidget* parent)
    : QMainWindow(parent), clock_(&clock), random_(&random) {
    Form_Load();
}

frmGame::~frmGame() = default;

void frmGame::Form_Load() {
    board_a11y::InstallInterfaces();
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // Fixed once: a layout constraint would re-announce the size to the window manager every
    // time a status label changes its text, ten times a second while the master plays.
    setFixedSize(sizeHint());
    // The layout's icon is the 32 px picture alone; the window carries every size, the
    // large ones from a moment after it is shown.
    windowing::DressMainWindow(*this);
    ui.lblHodCap->setForegroundRole(QPalette::HighlightedText);
    FitStatusLabels();
    // The visible title scrolls; a screen reader keeps calling the window by its whole name.
    setAccessibleName(res::AppTitle());

    CollectControls();
    ConnectControls();
    board_a11y::SetUp(*this);

    GetMenuCaption(mnuMain);
    GetMenuCaption(mnuGame);
    GetMenuCaption(mnuDrag);
    GetMenuCaption(mnuF1);

    tmr[0]->setInterval(kScrollIntervalMs);
    tmr[1]->setInterval(kScrollPeriodMs);
    tmr[1]->start();

    closeFilter_ =
        std::make_unique<windowing::CloseRequestFilter>(*this, [this] { CloseWhileBlocked(); });
}

void frmGame::CollectControls() {
    for (int k = 1; k <= board::kCellCount; ++k) {
        P[k] = findChild<CellWidget*>(QStringLiteral("P_%1").arg(k));
        P[k]->setIndex(k);
    }
    for (int k = 1; k <= board::kTileCount; ++k) {
        pC[k] = findChild<TileWidget*>(QStringLiteral("pC_%1").arg(k));
        pC[k]->setIndex(k);
        pC[k]->setKeepsOwnSize(board::TileSizeTwips(k) != board::kCellSizeTwips);
    }
    for (auto& timer : tmr)
        timer = new QTimer(this);

    mnuMain = {ui.mnuMain_0->menuAction(), ui.mnuMain_1->menuAction()};
    mnuGame = {ui.mnuGame_0, ui.mnuGame_1, ui.mnuGame_2->menuAction(),
               ui.mnuGame_3, ui.mnuGame_4, ui.mnuGame_5,
               ui.mnuGame_6, ui.mnuGame_7, ui.mnuGame_8,
               ui.mnuGame_9};
    mnuDrag = {ui.mnuDrag_0, ui.mnuDrag_1};
    mnuF1 = {ui.mnuF1_0, ui.mnuF1_1, ui.mnuF1_2};
}

void frmGame::ConnectControls() {
    for (int k = 1; k <= board::kCellCount; ++k)
        connect(P[k], &CellWidget::DragDrop, this, &frmGame::P_DragDrop);
    for (int k = 1; k <= board::kTileCount; ++k) {
        connect(pC[k], &TileWidget::Click, this, &frmGame::pC_Click);
        connect(pC[k], &TileWidget::DragOver, this, &frmGame::pC_DragOver);
        connect(pC[k], &TileWidget::DragDrop, this, &frmGame::pC_DragDrop);
        connect(pC[k], &TileWidget::DragEnded, this, &frmGame::pC_DragEnded);
    }
    for (int i = 0; i < static_cast<int>(tmr.size()); ++i)
        connect(tmr[i], &QTimer::timeout, this, [this, i] { tmr_Timer(i); });
    ConnectMenu(mnuGame, &frmGame::mnuGame_Click);
    ConnectMenu(mnuDrag, &frmGame::mnuDrag_Click);
    ConnectMenu(mnuF1, &frmGame::mnuF1_Click);
}

template <std::size_t N>
void frmGame::ConnectMenu(const std::array<QAction*, N>& menu, void (frmGame::*handler)(int)) {
    for (int i = 0; i < static_cast<int>(N); ++i) {
        QAction* item = menu[i];
        if (item->menu())
            continue; // opens a submenu, no command
        connect(item, &QAction::triggered, this, [this, item, i, handler] {
            // Qt flips a checkable item before reporting it; the commands set their check
            // marks themselves, so the flip is undone first.
            if (item->isCheckable())
                item->setChecked(!item->isChecked());
            (this->*handler)(i);
        });
    }
}

template <std::size_t N> void frmGame::GetMenuCaption(std::array<QAction*, N>& menu) {
    for (QAction* item : menu) {
        if (item->text() == QLatin1String("-")) {
            // A separator keeps its stored "-" as its caption property, but its menu text is
            // emptied: some styles print a separator's text as a section heading.
            item->setSeparator(true);
            item->setProperty(kCaptionProperty, item->text());
            item->setText(QString());
            continue;
        }
        item->setText(res::CaptionFromStoredId(item->text()));
    }
}

// The two status rows share one font, small enough for both captions to fit their boxes.
void frmGame::FitStatusLabels() {
    const QFont time = res::FitLabelText(ui.lblTimeCap);
    const QFont move = res::FitLabelText(ui.lblHodCap);
    const QFont& smaller = time.pointSizeF() <= move.pointSizeF() ? time : move;
    for (QLabel* label : {ui.lblTimeCap, ui.lblTime, ui.lblHodCap, ui.lblHod})
        label->setFont(smaller);
}

QString frmGame::TitleTag() const {
    return property("tag").toString();
}

HelpViewer* frmGame::HelpWindow() const {
    return helpViewer_;
}

bool frmGame::IsMove(int i_C, int i_P) const {
    return board_.IsMove(static_cast<board::TileNo>(i_C), static_cast<board::CellNo>(i_P));
}

void frmGame::PlaceTile(board::TileNo tile, board::CellNo cell) {
    const board::CellNo from = board_.CellOf(tile);
    board_.Place(tile, cell);
    TileWidget* widget = pC[tile];
    // A new parent takes the focus away, first to the next tab stop; a focused tile keeps it
    // in its new cell, and no other control is named to a screen reader in between.
    const bool focused = widget->hasFocus();
    holdingFocus_ = focused;
    widget->setParent(P[cell]);
    holdingFocus_ = false;
    widget->move(0, 0);
    widget->show();
    if (focused)
        widget->setFocus(Qt::OtherFocusReason);
    board_a11y::TileMoved(*this, tile, from, cell);
}

// ---------------------------------------------------------------- keyboard focus

std::vector<QWidget*> frmGame::FocusOrder() const {
    std::vector<QWidget*> order{P[16]};
    for (int k = 2; k <= 15; ++k)
        order.push_back(P[k]);
    order.push_back(P[1]);
    order.push_back(pC[15]);
    for (int k = 3; k <= 14; ++k)
        order.push_back(pC[k]);
    order.push_back(pC[1]);
    order.push_back(pC[2]);
    return order;
}

// Tab and Shift+Tab follow the board's own order, whichever cell holds a tile: moving a tile
// into another cell would otherwise carry it to another place in Qt's focus chain.
bool frmGame::focusNextPrevChild(bool next) {
    if (holdingFocus_)
        return true;
    const std::vector<QWidget*> order = FocusOrder();
    const auto count = static_cast<int>(order.size());
    const auto found = std::find(order.begin(), order.end(), focusWidget());
    if (found == order.end() && focusWidget() && focusWidget() != this)
        return QMainWindow::focusNextPrevChild(next);
    // From outside the board, Tab starts at its first stop and Shift+Tab at its last.
    int at = found == order.end() ? (next ? -1 : count) : static_cast<int>(found - order.begin());
    for (int step = 0; step < count; ++step) {
        at = ((next ? at + 1 : at - 1) % count + count) % count;
        QWidget* candidate = order[at];
        if (candidate->isVisible() && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return QMainWindow::focusNextPrevChild(next);
}

// ---------------------------------------------------------------- moves

void frmGame::MoveIt(int i_Free) {
    if (IsMove(i_Chip, i_Free)) {
        PlaceTile(i_Chip, static_cast<board::CellNo>(i_Free));
        board_a11y::PlayerMoved(*this, i_Chip);
        if (mnuGame[4]->isChecked())
            PaintPossible(true);
        Game();
    }
    i_Chip = 0;
}

void frmGame::pC_Click(int Index) {
    if (i_Chip == 0)
        i_Chip = static_cast<std::int16_t>(Index);
    MoveIt(GetFreeCell());
}

void frmGame::pC_DragOver(int Index) {
    if (i_Chip == 0)
        i_Chip = static_cast<std::int16_t>(Index);
}

void frmGame::pC_DragDrop(int) {
    i_Chip = 0;
}

void frmGame::pC_DragEnded(int) {
    // A drag that ended outside the cells and tiles must not leave its tile remembered for
    // the next drag or click; after a drop the tile was forgotten already.
    i_Chip = 0;
}

void frmGame::P_DragDrop(int Index) {
    // Only the empty cell is uncovered; a drop reported on an occupied cell is no move.
    if (board_.TileAt(static_cast<board::CellNo>(Index)) != 0) {
        i_Chip = 0;
        return;
    }
    MoveIt(Index);
}

void frmGame::mnuDrag_Click(int Index) {
    // The menu reports only its two items; the bounds test keeps the arrays safe all the same.
    if (Index < 0 || Index > 1)
        return;
    if (!mnuDrag[Index]->isChecked()) {
        mnuDrag[Index]->setChecked(true);
        mnuDrag[1 - Index]->setChecked(false);
    }
    for (int k = 1; k <= board::kTileCount; ++k)
        pC[k]->setDragMode(Index);
}

// ---------------------------------------------------------------- win check

void frmGame::Game() {
    if (!IsPositionPart(16))
        return;
    if (congratulating_)
        return; // one congratulation per solved board
    congratulating_ = true;
    QApplication::beep();
    const AnswerRequired onlyYesOrNo(*this);
    const QMessageBox::StandardButton answer = ShowMessageBox(
        this, QMessageBox::Information, res::LoadResString(21), res::LoadResString(20),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    congratulating_ = false;
    if (closing_)
        return;
    if (answer == QMessageBox::Yes)
        mnuGame_Click(0);
    else
        close();
}

// ---------------------------------------------------------------- shuffle and master

void frmGame::Random() {
    const board::Deal deal = board::Random(*random_);
    for (board::TileNo tile = 1; tile <= board::kTileCount; ++tile)
        PlaceTile(tile, deal[tile]);
}

void frmGame::Master() {
    if (const auto move = board::Master(board_, master_, *random_))
        PlaceTile(move->tile, move->to);
}

// ---------------------------------------------------------------- painting

void frmGame::PaintPossible(bool bPaint) {
    const auto movable = board::MovableTiles(board_);
    const QColor normal = ColorFromRgb(board::kNormalTileRgb);
    const QColor hint = ColorFromRgb(board::kHintTileRgb);
    for (int i = 1; i <= board::kTileCount; ++i)
        pC[i]->setBackColor(bPaint && movable[i] ? hint : normal);
    PaintNumbers();
    board_a11y::HintRepainted(*this);
}

QFont frmGame::NumberFont() {
    if (!numberFontChosen_) {
        // The numbers were designed for Trebuchet MS; Debian does not ship it, so the bold
        // DejaVu Sans that every Debian desktop has is named explicitly as the fallback.
        QFont font(QStringLiteral("Trebuchet MS"));
        if (QFontInfo(font).family() != QLatin1String("Trebuchet MS"))
            font = QFont(QStringLiteral("DejaVu Sans"));
        font.setPointSize(14);
        font.setBold(true);
        numberFont_ = font;
        numberFontChosen_ = true;
    }
    return numberFont_;
}

void frmGame::PaintNumbers() {
    const QFont font = NumberFont();
    for (int i = 1; i <= board::kTileCount; ++i) {
        const auto size = static_cast<float>(board::TileSizeTwips(i));
        const board::NumberPlacement place = board::PlaceNumber(i, size, size);
        const QPointF topLeft(place.x / kTwipsPerPixel, place.y / kTwipsPerPixel);
        pC[i]->printText(font, topLeft, QString::fromStdString(place.text));
    }
}

void frmGame::SetTilePicture(int tile, const QPixmap& picture) {
    if (board::IsTile(tile))
        pC[tile]->setPicture(picture);
}

// ---------------------------------------------------------------- menu commands

void frmGame::mnuGame_Click(int Index) {
    switch (Index) {
    case 0:
        NewGame();
        break;
    case 4:
        ToggleHint();
        break;
    case 5:
        ShowTileBacks();
        break;
    case 7:
        ToggleMoveMaster();
        break;
    case 9:
        close();
        break;
    default:
        break; // separators and the parent of the mode submenu
    }
}

void frmGame::NewGame() {
    if (!bStarted) {
        ui.Frame_0->show();
        mnuGame[7]->setEnabled(true);
        GiveTilesFirstPicture();
        PaintNumbers();
        bStarted = true;
    }
    if (mnuGame[7]->isChecked())
        mnuGame_Click(7);
    Random();
    if (mnuGame[4]->isChecked())
        PaintPossible(true);
    board_a11y::Dealt(*this);
}

void frmGame::GiveTilesFirstPicture() {
    // The chooser is built without being shown, only to hand out its first picture.
    const frmShirt chooser(*this, shirtChoice_, this);
    const QPixmap first = chooser.Picture(0);
    for (int k = 1; k <= board::kTileCount; ++k)
        SetTilePicture(k, first);
}

void frmGame::ToggleHint() {
    mnuGame[4]->setChecked(!mnuGame[4]->isChecked());
    PaintPossible(mnuGame[4]->isChecked());
}

void frmGame::ShowTileBacks() {
    frmShirt chooser(*this, shirtChoice_, this);
    chooser.exec();
}

void frmGame::ToggleMoveMaster() {
    mnuGame[7]->setChecked(!mnuGame[7]->isChecked());
    if (mnuGame[7]->isChecked()) {
        tmr[2]->setInterval(kMasterIntervalMs);
        masterStartSecond_ = clock_->SecondsOfDay();
        tmr[2]->start();
    } else {
        ui.lblTime->clear();
        ui.lblHod->clear();
        masterTicks_ = 0;
        tmr[2]->stop();
    }
}

void frmGame::mnuF1_Click(int Index) {
    if (Index == 0)
        ShowHelp();
    else if (Index == 2)
        ShowAbout();
}

void frmGame::ShowHelp() {
    const std::optional<help::HelpText> text = help::LoadHelp(QDir::currentPath());
    if (!text) {
        ShowMessageBox(this, QMessageBox::NoIcon, res::AppTitle(), res::LoadResString(30),
                       QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    if (!helpViewer_)
        helpViewer_ = new HelpViewer(this);
    helpViewer_->ShowText(*text);
}

void frmGame::ShowAbout() {
    frmAbout about(this);
    about.exec();
}

// ---------------------------------------------------------------- timers

void frmGame::tmr_Timer(int Index) {
    if (closing_)
        return;
    switch (Index) {
    case 0:
        ScrollTitle();
        break;
    case 1:
        tmr[0]->start();
        break;
    case 2:
        MasterTick();
        break;
    default:
        break;
    }
}

void frmGame::ScrollTitle() {
    QString caption = titleWriter_.Title().mid(1);
    if (caption.isEmpty())
        caption = TitleTag();
    titleWriter_.Write(caption);
    if (caption.size() == kPlainTitleLength)
        tmr[0]->stop();
}

void frmGame::MasterTick() {
    // While the congratulation for a solved board is open, the master waits for its answer.
    if (congratulating_)
        return;
    ShowElapsedTime();
    ++masterTicks_;
    ui.lblHod->setText(QString::number(masterTicks_));
    Master();
    if (mnuGame[4]->isChecked())
        PaintPossible(true);
    Game();
}

void frmGame::ShowElapsedTime() {
    // A run that passes midnight keeps counting: the difference is taken modulo one day.
    const int now = clock_->SecondsOfDay();
    const int elapsed =
        ((now - masterStartSecond_) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    ui.lblTime->setText(FormatLongTime(elapsed));
}

void frmGame::StopEverything() {
    closing_ = true;
    for (QTimer* timer : tmr)
        timer->stop();
    if (helpViewer_)
        helpViewer_->close();
}

void frmGame::closeEvent(QCloseEvent* event) {
    StopEverything();
    event->accept();
    // Closing this window ends the program. Qt ends it by itself only once no top-level
    // window is left visible, and since Qt 6.8 the picture that follows the pointer during a
    // drag counts as one: a close that arrives mid-drag would leave a process without
    // windows. The request waits for the event loop, so that this close completes first;
    // outside the application's main loop (the widget tests) it does nothing.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void frmGame::CloseWhileBlocked() {
    // Leaving every event loop ends the open boxes' loops too; the code after each of them
    // sees closing_ and returns, and the program ends with status 0.
    StopEverything();
    hide();
    QCoreApplication::exit(0);
}
