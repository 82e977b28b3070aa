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
#include "shirtimage.h"
#include "stringtable.h"
#include "textfit.h"
#include "tilewidget.h"
#include "windowing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDrag>
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
constexpr int kPlainTitleLength = 8;           // the scroll stops once the title stands alone again
constexpr char kCaptionProperty[] = "caption"; // where a separator keeps its stored "-"

QColor ColorFromRgb(std::uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
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

frmGame::frmGame(QWidget* parent) : QMainWindow(parent), session_(*this) {
    Form_Load();
}

frmGame::frmGame(const board::Clock& clock, board::RandomSource& random, QWidget* parent)
    : QMainWindow(parent), session_(*this, clock, random) {
    Form_Load();
}

frmGame::~frmGame() = default;

void frmGame::Form_Load() {
    board_a11y::InstallInterfaces();
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | windowing::FixedFrameFlags());
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
    board_a11y::SetUp(*this, session_);

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
    tmr[0] = new QTimer(this);
    tmr[1] = new QTimer(this);
    tmr[2] = &session_.MasterTimer();

    mnuMain = {ui.mnuMain_0->menuAction(), ui.mnuMain_1->menuAction()};
    mnuGame = {ui.mnuGame_0, ui.mnuGame_1, ui.mnuGame_2->menuAction(),
               ui.mnuGame_3, ui.mnuGame_4, ui.mnuGame_5,
               ui.mnuGame_6, ui.mnuGame_7, ui.mnuGame_8,
               ui.mnuGame_9};
    mnuDrag = {ui.mnuDrag_0, ui.mnuDrag_1};
    mnuF1 = {ui.mnuF1_0, ui.mnuF1_1, ui.mnuF1_2};
}

void frmGame::ConnectControls() {
    GameSession* const session = &session_;
    for (int k = 1; k <= board::kCellCount; ++k)
        connect(P[k], &CellWidget::DragDrop, session, &GameSession::P_DragDrop);
    for (int k = 1; k <= board::kTileCount; ++k) {
        connect(pC[k], &TileWidget::Click, session, &GameSession::pC_Click);
        connect(pC[k], &TileWidget::DragOver, session, &GameSession::pC_DragOver);
        connect(pC[k], &TileWidget::DragDrop, session, &GameSession::pC_DragDrop);
        connect(pC[k], &TileWidget::DragEnded, session, &GameSession::pC_DragEnded);
        connect(pC[k], &TileWidget::DragEnded, this, [this] {
            if (closeAfterDrag_)
                close();
        });
    }
    // The master's clock (timer 2) belongs to the session, which runs the tick itself.
    for (int i = 0; i < 2; ++i)
        connect(tmr[i], &QTimer::timeout, this, [this, i] { tmr_Timer(i); });
    ConnectMenu(mnuGame, &frmGame::mnuGame_Click);
    ConnectMenu(mnuDrag, &frmGame::mnuDrag_Click);
    ConnectMenu(mnuF1, &frmGame::mnuF1_Click);
    ConnectSession();
}

// What the session changes, the window shows. These connections come before the screen
// reader's layer makes its own, so that a reader hears of a change once it is shown.
void frmGame::ConnectSession() {
    GameSession* const session = &session_;
    connect(session, &GameSession::FirstDeal, this, &frmGame::ShowBoard);
    connect(session, &GameSession::TileMoved, this,
            [this](int tile, int, int to) { PlaceTile(tile, to); });
    connect(session, &GameSession::HintPainted, this, &frmGame::PaintPossible);
    connect(session, &GameSession::HintSwitched, this, &frmGame::ShowHint);
    connect(session, &GameSession::MasterSwitched, this, &frmGame::ShowMaster);
    connect(session, &GameSession::DragModeChosen, this, &frmGame::ShowDragMode);
    connect(session, &GameSession::MasterStatus, this,
            [this](const QString& time, const QString& moves) {
                ui.lblTime->setText(time);
                ui.lblHod->setText(moves);
            });
    connect(session, &GameSession::QuitRequested, this, &QWidget::close);
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

void frmGame::PlaceTile(int tile, int cell) {
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

// ---------------------------------------------------------------- the session's changes

void frmGame::mnuDrag_Click(int Index) {
    session_.SetDragMode(Index);
}

void frmGame::ShowDragMode(int Index) {
    if (!mnuDrag[Index]->isChecked()) {
        mnuDrag[Index]->setChecked(true);
        mnuDrag[1 - Index]->setChecked(false);
    }
    for (int k = 1; k <= board::kTileCount; ++k)
        pC[k]->setDragMode(Index);
}

bool frmGame::AskPlayAgain() {
    QApplication::beep();
    const AnswerRequired onlyYesOrNo(*this);
    return ShowMessageBox(this, QMessageBox::Information, res::LoadResString(21),
                          res::LoadResString(20), QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) == QMessageBox::Yes;
}

void frmGame::ShowBoard() {
    ui.Frame_0->show();
    mnuGame[7]->setEnabled(true);
    GiveTilesFirstPicture();
    PaintNumbers();
}

void frmGame::ShowHint(bool on) {
    mnuGame[4]->setChecked(on);
}

void frmGame::ShowMaster(bool on) {
    mnuGame[7]->setChecked(on);
    if (!on) {
        ui.lblTime->clear();
        ui.lblHod->clear();
    }
}

// ---------------------------------------------------------------- painting

void frmGame::PaintPossible(bool bPaint) {
    const auto movable = board::MovableTiles(session_.CurrentBoard());
    const QColor normal = ColorFromRgb(board::kNormalTileRgb);
    const QColor hint = ColorFromRgb(board::kHintTileRgb);
    for (int i = 1; i <= board::kTileCount; ++i)
        pC[i]->setBackColor(bPaint && movable[i] ? hint : normal);
    PaintNumbers();
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
        session_.NewGame();
        break;
    case 4:
        session_.ToggleHint();
        break;
    case 5:
        ShowTileBacks();
        break;
    case 7:
        session_.ToggleMoveMaster();
        break;
    case 9:
        close();
        break;
    default:
        break; // separators and the parent of the mode submenu
    }
}

void frmGame::GiveTilesFirstPicture() {
    const QPixmap first = TileBackPicture(0, devicePixelRatioF());
    for (int k = 1; k <= board::kTileCount; ++k)
        SetTilePicture(k, first);
}

void frmGame::ShowTileBacks() {
    frmShirt chooser(*this, shirtChoice_, this);
    chooser.exec();
}

void frmGame::mnuF1_Click(int Index) {
    if (Index == 0)
        ShowHelp();
    else if (Index == 2)
        ShowAbout();
}

void frmGame::ShowHelp() {
#ifdef Q_OS_WIN
    // Windows has the text editor help.txt is written for: Notepad shows it in a window of
    // its own, and the game goes on without waiting for it.
    const bool found = help::FindHelpFile(QDir::currentPath()).has_value();
    if (found)
        help::StartDetached(res::LoadResString(31));
#else
    const std::optional<help::HelpText> text = help::LoadHelp(QDir::currentPath());
    const bool found = text.has_value();
    if (found) {
        if (!helpViewer_)
            helpViewer_ = new HelpViewer(this);
        helpViewer_->ShowText(*text);
    }
#endif
    if (!found)
        ShowMessageBox(this, QMessageBox::NoIcon, res::AppTitle(), res::LoadResString(30),
                       QMessageBox::Ok, QMessageBox::Ok);
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
        session_.MasterTick();
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

void frmGame::StopEverything() {
    closing_ = true;
    session_.Stop();
    for (QTimer* timer : tmr)
        timer->stop();
    if (helpViewer_)
        helpViewer_->close();
}

bool frmGame::DragUnderWay() const {
    return std::any_of(pC.begin() + 1, pC.end(),
                       [](const TileWidget* tile) { return tile && tile->IsDragging(); });
}

void frmGame::closeEvent(QCloseEvent* event) {
    if (DragUnderWay()) {
        // The drag's loop runs below this call and still holds the window the pointer is
        // over: on Windows it sends that window a button release when it ends, and a window
        // closed by then has lost its native window under it. The drag is cancelled, and the
        // window closes once it has ended.
        closeAfterDrag_ = true;
        QDrag::cancel();
        event->ignore();
        return;
    }
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
