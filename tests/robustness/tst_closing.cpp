// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"
#include "sanitizedgame.h"
#include "shownversion.h"

#include <QFile>
#include <QTest>

#include <cstdlib>

using namespace e2e;
using robust::SanitizedGame;

namespace {

constexpr int kTimeoutMs = 5000;
constexpr int kExitTimeoutMs = 20000;
constexpr int kMasterTimeoutMs = 4000;
// A few tiles are a little larger than their cells; the drag shows the tile as it is.
constexpr int kMaxTileSize = 64;
// A pointer's own picture is 32 pixels or less; a tile is larger.
constexpr int kMinTileSize = 40;
const QString kAppTitle = QStringLiteral("Сдвигуль");
const QString kCongratulationTitle = QStringLiteral("Поздравляем!");

// What is open or going on when the close request arrives.
enum class State {
    Plain,
    Menu,
    Chooser,
    About,
    MissingHelp,
    HelpViewer,
    Congratulation,
    MidDrag,
};

enum class Close {
    WindowManager, // the close box, or any other close request of the window manager
    ExitByMouse,   // "Игра" → "Выход"
    ExitByKeys,    // Alt+И, Х
};

// The cell farthest from `empty`: a running master moves only tiles next to the empty cell,
// so the tile there stays put for the moment between the look and the press.
int FarthestCell(int empty) {
    const auto distance = [empty](int cell) {
        return std::abs((cell - 1) / kSide - (empty - 1) / kSide) +
               std::abs((cell - 1) % kSide - (empty - 1) % kSide);
    };
    int farthest = 1;
    for (int cell = 2; cell <= kCells; ++cell)
        if (distance(cell) > distance(farthest))
            farthest = cell;
    return farthest;
}

} // namespace

Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Close)

// Closing the sanitized game in every state ends it with status 0 and no sanitizer report.
class TestClosing : public E2eTestCase {
    Q_OBJECT

protected:
    QString StartCaseGame() override { return SanitizedGame::Start(f_); }
    // A case that failed mid-drag must not leave the button held for the next one.
    void BeforeFinish() override {
        if (buttonHeld_) {
            f_.X().Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
            buttonHeld_ = false;
        }
    }

private slots:

    void endsCleanly_data();
    void endsCleanly();

private:
    // Each returns an empty string once the state is there, otherwise what failed.
    QString StartMaster();
    QString Reach(State state);
    QString OpenTitled(const QStringList& keys, const QString& title);
    QString StartDrag();
    QString ReachCongratulation();
    QString SendClose(Close close);

    bool buttonHeld_ = false;
    // The modal box Reach opened, if any.
    std::optional<quint64> box_;
};

void TestClosing::endsCleanly_data() {
    QTest::addColumn<State>("state");
    QTest::addColumn<bool>("master");
    QTest::addColumn<Close>("close");

    QTest::newRow("master running") << State::Plain << true << Close::WindowManager;
    QTest::newRow("menu open, master running") << State::Menu << true << Close::WindowManager;
    QTest::newRow("chooser open, master running") << State::Chooser << true << Close::WindowManager;
    QTest::newRow("about box open, master running") << State::About << true << Close::WindowManager;
    QTest::newRow("missing-help box open, master running")
        << State::MissingHelp << true << Close::WindowManager;
    QTest::newRow("help viewer open, master running")
        << State::HelpViewer << true << Close::WindowManager;
    QTest::newRow("congratulation open") << State::Congratulation << false << Close::WindowManager;
    QTest::newRow("mid-drag") << State::MidDrag << false << Close::WindowManager;
    QTest::newRow("mid-drag, master running") << State::MidDrag << true << Close::WindowManager;
    QTest::newRow("plain, Exit by mouse") << State::Plain << false << Close::ExitByMouse;
    QTest::newRow("plain, Exit by keys") << State::Plain << false << Close::ExitByKeys;
    QTest::newRow("master running, Exit by keys") << State::Plain << true << Close::ExitByKeys;
}

void TestClosing::endsCleanly() {
    QFETCH(State, state);
    QFETCH(bool, master);
    QFETCH(Close, close);

    if (state != State::Congratulation) {
        QVERIFY(!f_.NewGameByF2().IsNull());
        if (master) {
            const QString error = StartMaster();
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
    }
    const QString reached = Reach(state);
    QVERIFY2(reached.isEmpty(), qPrintable(reached));
    if (f_.Wine() && box_) {
        // Windows, and Wine with it, drops a close request for a window that a modal box has
        // disabled. The game goes on with the box open; once the box is answered, the close
        // ends it.
        const QString dropped = SendClose(close);
        QVERIFY2(dropped.isEmpty(), qPrintable(dropped));
        f_.X().Keys({QStringLiteral("Return")});
        QVERIFY2(f_.Game().WaitUntilGone(*box_, kTimeoutMs), "Enter did not answer the box");
    }
    const QString sent = SendClose(close);
    QVERIFY2(sent.isEmpty(), qPrintable(sent));
    const QString problem = SanitizedGame::ExpectCleanExit(f_.Game(), kExitTimeoutMs);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QString TestClosing::StartMaster() {
    f_.X().Keys({QStringLiteral("ctrl+F3")});
    const ClientShot playing = f_.Game().WaitForShot(
        [](const ClientShot& shot) { return shot.TimeValueShown() && shot.MoveValueShown(); },
        kMasterTimeoutMs, GameRun::Settle::No);
    return playing.IsNull() ? QStringLiteral("Ctrl+F3 did not start the master") : QString();
}

QString TestClosing::Reach(State state) {
    box_.reset();
    switch (state) {
    case State::Plain:
        return {};
    case State::Menu:
        return f_.Game().OpenMenuByMouse(GameRun::kMenuTitleGame)
                   ? QString()
                   : QStringLiteral("no menu opened");
    case State::Chooser:
        box_ = f_.OpenChooserByKeys();
        return box_ ? QString() : QStringLiteral("the chooser did not open");
    case State::About:
        return OpenTitled({QStringLiteral("alt+Cyrillic_es"), QStringLiteral("Cyrillic_pe")},
                          AboutTitle());
    case State::MissingHelp:
        return OpenTitled({QStringLiteral("F1")}, kAppTitle);
    case State::HelpViewer: {
        QFile help(f_.Game().WorkDir() + QStringLiteral("/help.txt"));
        if (!help.open(QIODevice::WriteOnly) ||
            help.write(QStringLiteral("Правила игры\n").toUtf8()) < 0)
            return QStringLiteral("help.txt could not be written");
        help.close();
        const QString opened =
            OpenTitled({QStringLiteral("F1")}, QStringLiteral("help.txt - ") + kAppTitle);
        box_.reset(); // the viewer is no modal box
        return opened;
    }
    case State::Congratulation:
        return ReachCongratulation();
    case State::MidDrag:
        return StartDrag();
    }
    return QStringLiteral("unknown state");
}

// The menu's access key first, on its own: the letter counts only once the menu is open.
QString TestClosing::OpenTitled(const QStringList& keys, const QString& title) {
    if (keys.size() > 1) {
        if (!f_.Game().OpenMenuByKeys({keys.front()}))
            return QStringLiteral("%1 opened no menu").arg(keys.front());
        f_.X().Keys(keys.mid(1));
    } else {
        f_.X().Keys(keys);
    }
    box_ = f_.WaitForTitled(ExactTitle(title), kTimeoutMs);
    return box_ ? QString() : QStringLiteral("no window \"%1\" opened").arg(title);
}

// Presses a tile and moves it part of the way towards the empty cell, holding the button. While a
// drag is under way the game shows the tile's picture under the pointer in a window of its own.
QString TestClosing::StartDrag() {
    GameRun& game = f_.Game();
    const ClientShot board = game.Shot();
    const int empty = board.EmptyCell();
    if (empty == 0)
        return QStringLiteral("no dealt board to drag on");
    const int from = FarthestCell(empty);
    const QPoint start = game.CellCentre(from);
    const QPoint halfway = (start + game.CellCentre(empty)) / 2;
    const QList<quint64> known = game.OtherWindows();
    buttonHeld_ = true;
    f_.X().Xdotool({QStringLiteral("mousemove"), QString::number(start.x()),
                    QString::number(start.y()), QStringLiteral("sleep"), QStringLiteral("0.08"),
                    QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"),
                    QStringLiteral("0.15"), QStringLiteral("mousemove"),
                    QString::number(start.x() + 8), QString::number(start.y() + 4),
                    QStringLiteral("sleep"), QStringLiteral("0.06"), QStringLiteral("mousemove"),
                    QString::number(halfway.x()), QString::number(halfway.y())});
    if (f_.Wine()) {
        // Windows draws the dragged tile as the pointer's own picture, not in a window.
        const bool tileAsPointer = PollUntil(
            [&] {
                const auto pointer = f_.X().PointerPictureSize();
                return pointer && pointer->width() >= kMinTileSize &&
                       pointer->height() >= kMinTileSize;
            },
            kTimeoutMs);
        return tileAsPointer ? QString()
                             : QStringLiteral("no drag started: the pointer wears no tile");
    }
    const auto picture = game.WaitForWindow(
        known,
        [&](quint64 window) {
            const auto info = f_.X().Window(window);
            return info && info->client.width() <= kMaxTileSize &&
                   info->client.height() <= kMaxTileSize;
        },
        kTimeoutMs);
    return picture ? QString()
                   : QStringLiteral("no drag started: no tile picture under the pointer");
}

QString TestClosing::ReachCongratulation() {
    if (const QString failed = f_.PlayToWin(); !failed.isEmpty())
        return failed;
    box_ = f_.WaitForTitled(ExactTitle(kCongratulationTitle), kTimeoutMs);
    if (!box_)
        return QStringLiteral("no congratulation after the last move");
    return {};
}

QString TestClosing::SendClose(Close close) {
    GameRun& game = f_.Game();
    switch (close) {
    case Close::WindowManager:
        return game.RequestClose() ? QString()
                                   : QStringLiteral("wmctrl could not send the request");
    case Close::ExitByMouse:
        // "Выход" is the sixth entry of "Игра".
        return game.ChooseByMouse(GameRun::kMenuTitleGame, {5})
                   ? QString()
                   : QStringLiteral("\"Выход\" could not be chosen");
    case Close::ExitByKeys:
        if (!game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}))
            return QStringLiteral("Alt+И opened no menu");
        f_.X().Keys({QStringLiteral("Cyrillic_ha")});
        return {};
    }
    return QStringLiteral("unknown way to close");
}

QTEST_GUILESS_MAIN(TestClosing)
#include "tst_closing.moc"
