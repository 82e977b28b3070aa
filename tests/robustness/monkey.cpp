// SPDX-License-Identifier: GPL-3.0-or-later
#include "monkey.h"

#include "sanitizedgame.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <array>

namespace robust {

using namespace e2e;

namespace {

constexpr int kWindowTimeoutMs = 5000;
constexpr int kExitTimeoutMs = 20000;
constexpr int kHistoryLength = 40;
constexpr int kMaxBoxesLeftOpen = 2;
constexpr double kLeaveBoxOpen = 0.25;
constexpr double kRestartMaster = 0.85;
constexpr int kMasterTickMs = 400; // its first tick comes 100 ms after the switch
constexpr int kMasterStartMs = 1500;
constexpr double kAnswerYes = 0.8;
constexpr qint64 kWinIntervalMs = 60000;
constexpr int kMaxMenuEscapes = 4;
constexpr int kCloseRounds = 10;
// Board frame in client coordinates: the 4 × 4 cells and the margin around them.
constexpr QRect kBoardArea{0, 0, 247, 306};
// Buttons in the dialogs' client areas.
constexpr QPoint kAboutOk{248, 98};
constexpr QPoint kChooserOk{192, 218};
constexpr QPoint kChooserCancel{280, 218};
const QString kAppTitle = QStringLiteral("Сдвигуль");
const QString kCongratulationTitle = QStringLiteral("Поздравляем!");
const QString kAboutTitlePrefix = QStringLiteral("О программе");
const QString kViewerTitleSuffix = QStringLiteral(" - Сдвигуль");
// Qt names its menu and drag-picture windows after the program.
const QString kMenuName = QStringLiteral("sdvigul");

QString Seconds(double seconds) {
    return QString::number(seconds, 'f', 2);
}

QString Point(QPoint at) {
    return QStringLiteral("%1,%2").arg(at.x()).arg(at.y());
}

} // namespace

// What the monkey does, and how often relative to the rest.
const std::array<Monkey::Action, Monkey::kActionCount> Monkey::kActions{{
    {"click on the board", 20, &Monkey::ClickBoard},
    {"drag on the board", 20, &Monkey::DragOnBoard},
    {"click in the window", 5, &Monkey::ClickWindow},
    {"drag in the window", 3, &Monkey::DragInWindow},
    {"F2", 7, &Monkey::NewGameKey},
    {"Ctrl+F3", 5, &Monkey::MasterKey},
    {"hint by menu", 5, &Monkey::HintMenu},
    {"move mode by menu", 5, &Monkey::ModeMenu},
    {"master by menu", 3, &Monkey::MasterMenu},
    {"new game by menu", 2, &Monkey::NewGameMenu},
    {"tile-back chooser", 5, &Monkey::OpenChooser},
    {"about box", 3, &Monkey::OpenAbout},
    {"help", 5, &Monkey::Help},
    {"stray key", 2, &Monkey::StrayKey},
    {"play to a win", 1, &Monkey::PlayToWin},
}};

Monkey::Monkey(E2eFixture& fixture, quint32 seed) : f_(fixture), random_(seed) {
    clock_.start();
}

// ---------------------------------------------------------------- the run

QString Monkey::Play(qint64 milliseconds) {
    QElapsedTimer played;
    played.start();
    while (played.elapsed() < milliseconds) {
        if (const QString problem = CheckStillRunning(); !problem.isEmpty())
            return problem;
        Look();
        seenDealt_ = seenDealt_ || dealt_;
        if (!seenDealt_ && Chance(0.5)) {
            NewGameKey(); // the master can run only once a game has been dealt
        } else if (dealt_ && !masterRunning_ && Chance(kRestartMaster)) {
            KeepMasterRunning();
        } else {
            const std::size_t action = PickAction();
            ++actions_;
            ++actionCounts_[action];
            (this->*kActions[action].run)();
        }
        if (const QString problem = CheckStillRunning(); !problem.isEmpty())
            return problem;
        if (const QString problem = Tend(); !problem.isEmpty())
            return problem;
    }
    return CheckStillRunning();
}

std::size_t Monkey::PickAction() {
    int total = 0;
    for (const Action& action : kActions)
        total += action.weight;
    int pick = Uniform(0, total - 1);
    for (std::size_t i = 0; i < kActions.size(); ++i) {
        if (pick < kActions[i].weight)
            return i;
        pick -= kActions[i].weight;
    }
    return 0;
}

void Monkey::Look() {
    const ClientShot shot = f_.Game().Shot();
    dealt_ = !shot.IsNull() && E2eFixture::IsDealt(shot);
    masterRunning_ = dealt_ && (shot.TimeValueShown() || shot.MoveValueShown());
    if (dealt_) {
        ++dealtLooks_;
        if (masterRunning_)
            ++masterLooks_;
    }
}

// The master's labels fill only at its first tick, so a master switched on just now looks
// off for a moment: pressing Ctrl+F3 then would switch it off again.
void Monkey::KeepMasterRunning() {
    const auto labelsFilled = [](const ClientShot& shot) {
        return shot.TimeValueShown() || shot.MoveValueShown();
    };
    GameRun& game = f_.Game();
    if (!game.WaitForShot(labelsFilled, kMasterTickMs, GameRun::Settle::No).IsNull())
        return;
    Note(QStringLiteral("Ctrl+F3: the master back on"));
    FocusMainWindow();
    f_.X().Keys({QStringLiteral("ctrl+F3")});
    if (game.WaitForShot(labelsFilled, kMasterStartMs, GameRun::Settle::No).IsNull())
        Note(QStringLiteral("the master did not start"));
}

QString Monkey::CheckStillRunning() {
    // The end of the game's process is seen only once its notice has been handled.
    QCoreApplication::processEvents();
    GameRun& game = f_.Game();
    if (game.Pid() != 0)
        return {};
    const QString last = history_.isEmpty() ? QString() : history_.back();
    if (const QString problem = SanitizedGame::ExpectCleanExit(game, 0); !problem.isEmpty())
        return QStringLiteral("after \"%1\": %2").arg(last, problem);
    Note(QStringLiteral("the game ended with status 0; starting it again"));
    return StartAgain();
}

QString Monkey::StartAgain() {
    ++restarts_;
    seenDealt_ = false;
    const QString error = SanitizedGame::Start(f_);
    return error.isEmpty() ? QString() : QStringLiteral("the game does not start again: ") + error;
}

// ---------------------------------------------------------------- boxes and menus

Monkey::Kind Monkey::Classify(const QString& name) {
    if (name == kCongratulationTitle)
        return Kind::Congratulation;
    if (name.endsWith(kViewerTitleSuffix))
        return Kind::HelpViewer;
    // The about box, the chooser (titled " ") and the missing-help message ("Сдвигуль").
    if (name.startsWith(kAboutTitlePrefix) || name == QStringLiteral(" ") || name == kAppTitle)
        return Kind::ModalBox;
    return Kind::Menu; // menus, and the tile's picture that follows the pointer in a drag
}

QString Monkey::Tend() {
    XSession& x = f_.X();
    QList<quint64> boxes;
    QList<quint64> viewers;
    bool menus = false;
    for (const quint64 window : f_.Game().OtherWindows()) {
        const QString name = x.WindowName(window).value_or(QString());
        switch (Classify(name)) {
        case Kind::Congratulation:
            return AnswerCongratulation(window);
        case Kind::ModalBox:
            boxes << window;
            break;
        case Kind::HelpViewer:
            viewers << window;
            break;
        case Kind::Menu:
            menus = menus || name == kMenuName;
            break;
        }
    }
    if (menus)
        CloseMenus();
    for (const quint64 viewer : viewers)
        if (Chance(0.5)) {
            Note(QStringLiteral("close the help viewer"));
            f_.X().Run(QStringLiteral("wmctrl"),
                       {QStringLiteral("-i"), QStringLiteral("-c"), QString::number(viewer)});
        }
    if (boxes.isEmpty()) {
        boxesLeftOpen_ = 0;
        return {};
    }
    if (boxesLeftOpen_ < kMaxBoxesLeftOpen && Chance(kLeaveBoxOpen)) {
        ++boxesLeftOpen_;
        Note(QStringLiteral("leave the box open"));
        return {};
    }
    boxesLeftOpen_ = 0;
    for (const quint64 box : boxes)
        if (const QString problem = Dismiss(box, x.WindowName(box).value_or(QString()));
            !problem.isEmpty())
            return problem;
    return {};
}

QString Monkey::AnswerCongratulation(quint64 box) {
    XSession& x = f_.X();
    x.Activate(box);
    if (Chance(kAnswerYes)) {
        Note(QStringLiteral("congratulation: Yes"));
        x.Keys({QStringLiteral("Return")}); // Yes is the default button
        return f_.Game().WaitUntilGone(box, kWindowTimeoutMs)
                   ? QString()
                   : QStringLiteral("the congratulation stayed open after Yes");
    }
    Note(QStringLiteral("congratulation: No"));
    x.Keys({QStringLiteral("Tab"), QStringLiteral("space")}); // from Yes over to No
    if (const QString problem = SanitizedGame::ExpectCleanExit(f_.Game(), kExitTimeoutMs);
        !problem.isEmpty())
        return QStringLiteral("after No in the congratulation: ") + problem;
    return StartAgain();
}

// Closes a modal box one of the ways a player would; if that fails, with Esc and the window
// manager. A box that survives all of them means the game no longer answers.
QString Monkey::Dismiss(quint64 box, const QString& name) {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const auto info = x.Window(box);
    const QPoint origin = info ? info->client.topLeft() : QPoint();
    switch (Uniform(0, 3)) {
    case 0:
        Note(QStringLiteral("Enter in \"%1\"").arg(name));
        x.Activate(box);
        x.Keys({QStringLiteral("Return")});
        break;
    case 1:
        Note(QStringLiteral("Esc in \"%1\"").arg(name));
        x.Activate(box);
        x.Keys({QStringLiteral("Escape")});
        break;
    case 2:
        if (name.startsWith(kAboutTitlePrefix)) {
            Note(QStringLiteral("click OK in the about box"));
            Click(origin + kAboutOk);
        } else if (name == QStringLiteral(" ")) {
            const bool ok = Chance(0.5);
            Note(QStringLiteral("click %1 in the chooser").arg(ok ? "OK" : "Cancel"));
            Click(origin + (ok ? kChooserOk : kChooserCancel));
        } else {
            Note(QStringLiteral("space in \"%1\"").arg(name));
            x.Activate(box);
            x.Keys({QStringLiteral("space")});
        }
        break;
    default:
        Note(QStringLiteral("close \"%1\" by the window manager").arg(name));
        x.Run(QStringLiteral("wmctrl"),
              {QStringLiteral("-i"), QStringLiteral("-c"), QString::number(box)});
        break;
    }
    if (game.WaitUntilGone(box, kWindowTimeoutMs))
        return {};
    // The key may have gone to another window; the box must still go the sure ways.
    Note(QStringLiteral("\"%1\" still open: Esc, then the window manager").arg(name));
    x.Activate(box);
    x.Keys({QStringLiteral("Escape")});
    if (game.WaitUntilGone(box, kWindowTimeoutMs))
        return {};
    x.Run(QStringLiteral("wmctrl"),
          {QStringLiteral("-i"), QStringLiteral("-c"), QString::number(box)});
    if (game.WaitUntilGone(box, kWindowTimeoutMs))
        return {};
    return QStringLiteral("the box \"%1\" does not close: the game does not answer").arg(name);
}

void Monkey::CloseMenus() {
    Note(QStringLiteral("Esc to close the menus"));
    for (int press = 0; press < kMaxMenuEscapes; ++press) {
        bool open = false;
        for (const quint64 window : f_.Game().OtherWindows())
            open = open || f_.X().WindowName(window) == kMenuName;
        if (!open)
            return;
        f_.X().Keys({QStringLiteral("Escape")});
    }
}

QString Monkey::CloseEverything() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    for (int round = 0; round < kCloseRounds; ++round) {
        const QList<quint64> windows = game.OtherWindows();
        if (windows.isEmpty()) {
            game.Activate();
            x.Keys({QStringLiteral("Escape")}); // a menu bar left active by Alt
            return {};
        }
        for (const quint64 window : windows) {
            const QString name = x.WindowName(window).value_or(QString());
            switch (Classify(name)) {
            case Kind::Congratulation:
                x.Activate(window);
                x.Keys({QStringLiteral("Return")});
                break;
            case Kind::ModalBox:
                x.Activate(window);
                x.Keys({QStringLiteral("Escape")});
                break;
            case Kind::HelpViewer:
                x.Run(QStringLiteral("wmctrl"),
                      {QStringLiteral("-i"), QStringLiteral("-c"), QString::number(window)});
                break;
            case Kind::Menu:
                x.Keys({QStringLiteral("Escape")});
                break;
            }
        }
        PollUntil([&] { return game.OtherWindows().isEmpty(); }, 1000);
    }
    QStringList open;
    for (const quint64 window : game.OtherWindows())
        open << QLatin1Char('"') + x.WindowName(window).value_or(QString()) + QLatin1Char('"');
    return QStringLiteral("windows stay open: ") + open.join(QStringLiteral(", "));
}

// ---------------------------------------------------------------- actions

void Monkey::ClickBoard() {
    const QPoint at = Chance(0.7) ? NearCellCentre(Uniform(1, 16)) : PointIn(BoardRect());
    Note(QStringLiteral("click on the board at %1").arg(Point(at)));
    Click(at);
}

// Mostly a tile onto a neighbouring cell, which is a move when that cell is the empty one;
// else onto any cell, anywhere in the window or off it.
void Monkey::DragOnBoard() {
    const int cell = Uniform(1, 16);
    const QPoint from = NearCellCentre(cell);
    QPoint to;
    const int where = Uniform(0, 99);
    if (where < 50) {
        const std::vector<int> near = NeighbourCells(cell);
        to = NearCellCentre(near[Uniform(0, static_cast<int>(near.size()) - 1)]);
    } else if (where < 75) {
        to = NearCellCentre(Uniform(1, 16));
    } else if (where < 90) {
        to = PointIn(WindowRect());
    } else {
        to = PointIn(QRect(QPoint(0, 0), f_.X().ScreenSize()));
    }
    Note(QStringLiteral("drag from cell %1 to %2").arg(cell).arg(Point(to)));
    Drag(from, to);
}

void Monkey::ClickWindow() {
    const QPoint at = PointIn(WindowRect());
    Note(QStringLiteral("click in the window at %1").arg(Point(at)));
    Click(at);
}

void Monkey::DragInWindow() {
    const QPoint from = PointIn(WindowRect());
    const QPoint to =
        Chance(0.7) ? PointIn(WindowRect()) : PointIn(QRect(QPoint(0, 0), f_.X().ScreenSize()));
    Note(QStringLiteral("drag in the window from %1 to %2").arg(Point(from), Point(to)));
    Drag(from, to);
}

void Monkey::NewGameKey() {
    Note(QStringLiteral("F2"));
    FocusMainWindow();
    Keys({QStringLiteral("F2")});
}

void Monkey::MasterKey() {
    Note(QStringLiteral("Ctrl+F3"));
    FocusMainWindow();
    Keys({QStringLiteral("ctrl+F3")});
}

void Monkey::HintMenu() {
    Note(QStringLiteral("hint by menu"));
    ChooseInMenu(GameRun::kMenuTitleGame, {2}, {QStringLiteral("Cyrillic_es")});
}

void Monkey::ModeMenu() {
    const bool byClick = Chance(0.5);
    Note(QStringLiteral("move mode %1 by menu").arg(byClick ? "by click" : "by drag"));
    ChooseInMenu(GameRun::kMenuTitleGame, {1, byClick ? 0 : 1},
                 {QStringLiteral("Cyrillic_ef"),
                  byClick ? QStringLiteral("Cyrillic_ka") : QStringLiteral("Cyrillic_pe")});
}

void Monkey::MasterMenu() {
    Note(QStringLiteral("master by menu"));
    ChooseInMenu(GameRun::kMenuTitleGame, {4}, {QStringLiteral("Cyrillic_em")});
}

void Monkey::NewGameMenu() {
    Note(QStringLiteral("new game by menu"));
    ChooseInMenu(GameRun::kMenuTitleGame, {0}, {QStringLiteral("Cyrillic_en")});
}

// Opens the chooser and clicks about in it: pictures, "Ассорти", anywhere. Closing it is left
// to Tend, which picks one of the ways.
void Monkey::OpenChooser() {
    FocusMainWindow();
    const bool byMouse = Chance(0.5);
    Note(QStringLiteral("open the chooser by %1").arg(byMouse ? "mouse" : "keys"));
    const auto chooser = byMouse ? f_.OpenChooserByMouse() : f_.OpenChooserByKeys();
    if (!chooser) {
        Note(QStringLiteral("the chooser did not open"));
        return;
    }
    const auto rect = f_.ChooserRect(*chooser);
    if (!rect)
        return;
    const int clicks = Uniform(0, 4);
    for (int i = 0; i < clicks; ++i) {
        const int what = Uniform(0, 9);
        const QPoint at = what < 6   ? rect->topLeft() + E2eFixture::ChooserPicture(Uniform(0, 14))
                          : what < 8 ? rect->topLeft() + E2eFixture::kAssortedBox
                                     : PointIn(*rect);
        Note(QStringLiteral("click in the chooser at %1").arg(Point(at)));
        Click(at);
    }
}

void Monkey::OpenAbout() {
    Note(QStringLiteral("open the about box"));
    // "О программе" is the second entry of "Справка", "&программе" its access letter.
    ChooseInMenu(GameRun::kMenuTitleHelp, {1}, {QStringLiteral("Cyrillic_pe")});
}

// Puts a help file in place or takes it away, then asks for help by F1 or by the menu.
void Monkey::Help() {
    const QString path = f_.Game().WorkDir() + QStringLiteral("/help.txt");
    if (Chance(0.5)) {
        if (QFile::exists(path)) {
            QFile::remove(path);
            Note(QStringLiteral("help.txt removed"));
        } else {
            QFile help(path);
            if (help.open(QIODevice::WriteOnly))
                help.write(QStringLiteral("Правила игры\nПередвигайте фишки на пустое место.\n")
                               .repeated(Uniform(1, 50))
                               .toUtf8());
            Note(QStringLiteral("help.txt written"));
        }
    }
    if (Chance(0.6)) {
        Note(QStringLiteral("F1"));
        FocusMainWindow();
        Keys({QStringLiteral("F1")});
    } else {
        Note(QStringLiteral("help by menu"));
        ChooseInMenu(GameRun::kMenuTitleHelp, {0}, {QStringLiteral("Cyrillic_ve")});
    }
}

// The solver's moves by real clicks, up to the congratulation, which Tend then answers.
void Monkey::PlayToWin() {
    // A win takes a good ten seconds of clicking; random input should fill most of the run.
    if (lastWin_.isValid() && lastWin_.elapsed() < kWinIntervalMs) {
        ClickBoard();
        return;
    }
    lastWin_.start();
    Note(QStringLiteral("play a deal to the win"));
    f_.Game().Activate();
    if (const QString failed = f_.PlayToWin(); !failed.isEmpty())
        Note(QStringLiteral("no win: ") + failed);
    // The congratulation comes a moment after the last click.
    f_.WaitForTitled(ExactTitle(kCongratulationTitle), kWindowTimeoutMs);
}

void Monkey::StrayKey() {
    static const std::array<const char*, 10> kKeys{"Return", "Escape", "space", "Tab", "Up",
                                                   "Down",   "Left",   "Right", "F10", "alt"};
    const QString key = QString::fromLatin1(kKeys[Uniform(0, kKeys.size() - 1)]);
    Note(QStringLiteral("key %1").arg(key));
    Keys({key});
}

// ---------------------------------------------------------------- input

void Monkey::Click(QPoint at) {
    f_.X().Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("sleep"), Seconds(Uniform(2, 8) / 100.0),
                    QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("sleep"),
                    Seconds(0.03)});
}

// A drag at a varying pace: from one straight jump to a few slow steps.
void Monkey::Drag(QPoint from, QPoint to) {
    QStringList commands{QStringLiteral("mousemove"),
                         QString::number(from.x()),
                         QString::number(from.y()),
                         QStringLiteral("sleep"),
                         Seconds(Uniform(3, 10) / 100.0),
                         QStringLiteral("mousedown"),
                         QStringLiteral("1"),
                         QStringLiteral("sleep"),
                         Seconds(Uniform(5, 20) / 100.0)};
    const int steps = Uniform(1, 6);
    for (int step = 1; step <= steps; ++step) {
        const QPoint at = from + (to - from) * step / steps;
        commands << QStringLiteral("mousemove") << QString::number(at.x())
                 << QString::number(at.y()) << QStringLiteral("sleep")
                 << Seconds(Uniform(2, 10) / 100.0);
    }
    commands << QStringLiteral("mouseup") << QStringLiteral("1") << QStringLiteral("sleep")
             << Seconds(0.05);
    f_.X().Xdotool(commands);
}

void Monkey::Keys(const QStringList& keys) {
    f_.X().Keys(keys);
}

void Monkey::ChooseInMenu(int title, const QList<int>& mousePath, const QStringList& letters) {
    GameRun& game = f_.Game();
    FocusMainWindow();
    if (Chance(0.5)) {
        if (!game.ChooseByMouse(title, mousePath))
            Note(QStringLiteral("the menu did not work by mouse"));
        return;
    }
    const QString accessKey = title == GameRun::kMenuTitleGame ? QStringLiteral("alt+Cyrillic_i")
                                                               : QStringLiteral("alt+Cyrillic_es");
    if (!game.OpenMenuByKeys({accessKey})) {
        Note(QStringLiteral("%1 opened no menu").arg(accessKey));
        return;
    }
    for (int i = 0; i < letters.size(); ++i) {
        const QList<quint64> known = game.OtherWindows();
        Keys({letters[i]});
        if (i + 1 < letters.size() && !game.WaitForMenu(known)) {
            Note(QStringLiteral("the submenu did not open"));
            return;
        }
    }
}

// Keys go to the window with the focus; most of the time that should be the game's.
void Monkey::FocusMainWindow() {
    if (Chance(0.9))
        f_.Game().Activate();
}

// ---------------------------------------------------------------- chance and places

int Monkey::Uniform(int lowest, int highest) {
    return std::uniform_int_distribution<int>(lowest, highest)(random_);
}

bool Monkey::Chance(double probability) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < probability;
}

QPoint Monkey::PointIn(const QRect& area) {
    return {Uniform(area.left(), area.right()), Uniform(area.top(), area.bottom())};
}

QRect Monkey::BoardRect() const {
    return kBoardArea.translated(f_.Game().ClientRect().topLeft());
}

QRect Monkey::WindowRect() const {
    const GameRun& game = f_.Game();
    return game.MenuBarRect().united(game.ClientRect());
}

QPoint Monkey::NearCellCentre(int cell) {
    return f_.Game().CellCentre(cell) + QPoint(Uniform(-18, 18), Uniform(-18, 18));
}

// ---------------------------------------------------------------- record

void Monkey::Note(const QString& what) {
    const QString line = QStringLiteral("%1 s  %2").arg(Seconds(clock_.elapsed() / 1000.0), what);
    qInfo("%s", qPrintable(line));
    history_ << line;
    if (history_.size() > kHistoryLength)
        history_.removeFirst();
}

QString Monkey::History() const {
    return history_.join(QLatin1Char('\n'));
}

double Monkey::MasterShare() const {
    return dealtLooks_ == 0 ? 0.0 : static_cast<double>(masterLooks_) / dealtLooks_;
}

QString Monkey::Summary() const {
    QStringList counts;
    for (std::size_t i = 0; i < kActions.size(); ++i)
        counts << QStringLiteral("%1 %2")
                      .arg(QString::fromLatin1(kActions[i].name))
                      .arg(actionCounts_[i]);
    return QStringLiteral("%1 actions (%2), %3 games ended and started again, master running in "
                          "%4 of %5 looks at a dealt board (%6%)")
        .arg(actions_)
        .arg(counts.join(QStringLiteral(", ")))
        .arg(restarts_)
        .arg(masterLooks_)
        .arg(dealtLooks_)
        .arg(qRound(MasterShare() * 100));
}

} // namespace robust
