// SPDX-License-Identifier: GPL-3.0-or-later
#include "clientshot.h"
#include "desktop.h"
#include "titleink.h"
#include "xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <functional>
#include <memory>

using desktops::Desktop;
using e2e::ClientShot;
using e2e::PollUntil;
using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Сдвигуль"_s;
// The title scroll refills the title from 25 blanks and the title; every step is a tail of it.
const QString kScrollText = QString(25, u' ') + kTitle;
constexpr int kTitleEvery = 4;
constexpr int kAppearMs = 15000;
constexpr int kTimeoutMs = 5000;
// The title scrolls for 3.3 s every 10 s, counted from a start that the screen does not show
// (a busy compositor maps the window seconds late). A title bar that holds for 1.5 s stands
// between scrolls; the watch lasts for several periods: a whole scroll follows it, and a busy
// machine that crops one scroll too seldom gets to watch the next ones.
constexpr int kStillMs = 1500;
constexpr int kScrollWatchMs = 65000;
constexpr int kStandAgainMs = 800;
constexpr int kMaximiseSettleMs = 1500;
constexpr int kSettledMs = 500;
// A box drawn over the screen changes far more pixels than a cursor or a focus change.
constexpr int kBoxPixels = 2000;

int ChangedPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return a.width() * a.height();
    int changed = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return changed;
}

} // namespace

// One scenario for every desktop: the name in SDVIGUL_DESKTOP picks the session (sway,
// GNOME and KDE on Wayland and on X11); only starting it, typing, screenshots, maximising and
// closing differ between them. The game is read only from the screen and the desktop's own
// window list. The first four cases share one run of the game, in order.
class TestDesktops : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void appearsAndDeals();
    void titleBarScrolls();
    void ownTitleBarOffersNoMaximise();
    void maximiseChangesNothing();
    void closeEndsGame();
    void closesWhileBoxIsOpen();
    void reportsUnreachableDisplay();

private:
    bool StartGame();
    void StopGame();
    std::optional<QRect> Board();
    void FollowBoard();
    QString Saved(const QString& what, const QImage& image) const;
    QString CloseAndSeeHowGameEnds();
    bool PressUntil(const QString& key, const std::function<bool()>& done);

    QString name_;
    std::unique_ptr<Desktop> desktop_;
    QProcess game_;
    QImage screen_;
    QRect board_;
};

void TestDesktops::initTestCase() {
    name_ = qEnvironmentVariable("SDVIGUL_DESKTOP");
    desktop_ = Desktop::Make(name_);
    QVERIFY2(desktop_, qPrintable(u"SDVIGUL_DESKTOP is none of "_s + Desktop::Names().join(u' ')));
    QElapsedTimer started;
    started.start();
    const QString problem = desktop_->Start();
    if (!problem.isEmpty())
        QSKIP(qPrintable(name_ + u": "_s + problem));
    qInfo("%s started in %lld ms", qPrintable(name_), started.elapsed());
}

void TestDesktops::cleanupTestCase() {
    StopGame();
    desktop_.reset();
}

bool TestDesktops::StartGame() {
    StopGame();
    return desktop_->StartGame(game_);
}

void TestDesktops::StopGame() {
    if (game_.state() != QProcess::NotRunning) {
        game_.kill();
        game_.waitForFinished(kTimeoutMs);
    }
}

// The board area where it shows now, keeping the screenshot it was found on.
std::optional<QRect> TestDesktops::Board() {
    screen_ = desktop_->Screenshot();
    return desktops::FindBoardArea(screen_);
}

// Where the board shows now, if it shows whole. A compositor under load may place a window
// again well after it first showed it where it stayed for a while (mutter on Wayland).
void TestDesktops::FollowBoard() {
    if (const auto board = Board(); board && board->size() == ClientShot::kClientSize)
        board_ = *board;
}

// Pictures a person looks at after a run, beside the test's other output.
QString TestDesktops::Saved(const QString& what, const QImage& image) const {
    const QString file = QDir::current().filePath(u"%1-%2.png"_s.arg(name_, what));
    image.save(file);
    return file;
}

// Empty when the game then ends by itself with status 0 and has written nothing to stderr,
// otherwise what went wrong.
QString TestDesktops::CloseAndSeeHowGameEnds() {
    const QString problem = desktop_->Close(game_.processId());
    if (!problem.isEmpty())
        return problem;
    // A driver that waits with an event loop may already have seen the game end.
    if (game_.state() != QProcess::NotRunning && !game_.waitForFinished(kTimeoutMs))
        return u"the game still runs"_s;
    if (game_.exitStatus() != QProcess::NormalExit || game_.exitCode() != 0)
        return u"the game ended with status %1"_s.arg(game_.exitCode());
    // Qt 6.8's Wayland text input warns when the compositor takes the keyboard from a box
    // that is already gone; the game has no text input, so the line says nothing about it.
    QStringList lines = QString::fromUtf8(game_.readAllStandardError()).split(u'\n');
    lines.removeIf([](const QString& line) {
        return line.isEmpty() || (line.startsWith("qt.qpa.wayland.textinput: "_L1) &&
                                  line.contains("Got leave event for surface 0x0"_L1));
    });
    return lines.join(u'\n');
}

// A window manager may show a new window a moment before it gives it the keyboard: a key
// that changed nothing is pressed again. F1 and F2 may come twice without harm.
bool TestDesktops::PressUntil(const QString& key, const std::function<bool()>& done) {
    constexpr int kPresses = 3;
    for (int press = 0; press < kPresses; ++press)
        if (desktop_->Keys({key}) && PollUntil(done, kTimeoutMs / 2, 100))
            return true;
    return false;
}

void TestDesktops::appearsAndDeals() {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QVERIFY(StartGame());
    // Shown where it stays: a compositor may place a window again after it first shows it.
    std::optional<QRect> seen;
    QElapsedTimer seenSince;
    const auto appeared = [&] {
        const auto board = Board();
        if (!board || board->size() != ClientShot::kClientSize || board != seen) {
            seen = board;
            seenSince.start();
            return false;
        }
        return seenSince.elapsed() >= kSettledMs;
    };
    QVERIFY2(PollUntil(appeared, kAppearMs, 100), "no 247 px wide game window on the screen");
    board_ = *seen;
    qInfo("window shown %lld ms after the start", sinceStart.elapsed());
    if (const auto titles = desktop_->Titles(game_.processId()))
        QCOMPARE(titles->value(0), kTitle);
    QVERIFY2(ClientShot(screen_.copy(board_)).BoardHidden(), "the board shows before a deal");

    ClientShot dealt;
    const auto isDealt = [&] {
        FollowBoard();
        dealt = ClientShot(screen_.copy(board_));
        return dealt.EmptyCell() != 0 && dealt.TilesDistinct();
    };
    // The screen as it was is the first thing to look at when the deal does not show.
    if (!PressUntil(u"F2"_s, isDealt))
        QFAIL(qPrintable(u"F2 did not deal 15 tiles and an empty cell; the screen: %1"_s.arg(
            Saved(u"undealt"_s, desktop_->Screenshot()))));

    const QString master = u"ctrl+F3"_s;
    if (desktop_->KeepsKey(master)) {
        qInfo("the desktop keeps %s for itself: no move master here", qPrintable(master));
        return;
    }
    // Once only: a second Ctrl+F3 would stop the master again.
    QVERIFY(desktop_->Keys({master}));
    const auto isPlaying = [&] {
        const ClientShot playing(desktop_->Screenshot().copy(board_));
        return !playing.SamePosition(dealt) && playing.TimeValueShown() && playing.MoveValueShown();
    };
    QVERIFY2(PollUntil(isPlaying, kTimeoutMs, 100), "Ctrl+F3 did not start the move master");
}

// The title bar as drawn, cropped again and again during one scroll.
void TestDesktops::titleBarScrolls() {
    if (game_.state() != QProcess::Running || board_.isEmpty())
        QSKIP("no game window");
    FollowBoard();
    const QRect band = desktops::TitleBand(board_, screen_.rect());
    // The title stands still between scrolls; during one it changes every 100 ms.
    QImage standing;
    QImage candidate;
    QElapsedTimer candidateSince;
    QList<QImage> crops;
    QList<QImage> lastScroll; // the crops of a scroll that was not seen well enough
    QElapsedTimer standingAgain;
    // Where the desktop lists titles, every few crops the main window's title too.
    QStringList titles;
    int polls = 0;
    const auto scrolledBack = [&] {
        if (++polls % kTitleEvery == 0)
            if (const auto listed = desktop_->Titles(game_.processId());
                listed && !listed->isEmpty())
                titles << listed->front();
        const QImage crop = desktop_->Screenshot().copy(band);
        if (standing.isNull()) {
            if (!desktops::LooksSame(crop, candidate)) {
                candidate = crop;
                candidateSince.start();
            } else if (candidateSince.elapsed() >= kStillMs) {
                standing = candidate;
                crops = {standing};
            }
        } else if (!desktops::LooksSame(crop, standing)) {
            crops << crop;
            standingAgain.invalidate();
        } else if (crops.size() > 1 && !standingAgain.isValid()) {
            crops << crop;
            standingAgain.start();
        }
        if (!standingAgain.isValid() || standingAgain.elapsed() <= kStandAgainMs)
            return false;
        // A busy machine crops too seldom to see every step of one scroll: the next scroll,
        // 10 s later, is watched as well.
        if (desktops::JudgeScroll(desktops::TitleInk(crops)).isEmpty())
            return true;
        lastScroll = crops;
        crops = {standing};
        standingAgain.invalidate();
        return false;
    };
    QElapsedTimer watch;
    watch.start();
    const bool ended = PollUntil(scrolledBack, kScrollWatchMs, 0);
    if (!ended && !lastScroll.isEmpty())
        crops = lastScroll;
    const QString strip = Saved(u"title"_s, desktops::Strip(crops));
    qInfo("%lld title-bar crops after %lld ms of watching: %s", crops.size(), watch.elapsed(),
          qPrintable(strip));
    QVERIFY2(!standing.isNull(), "the title bar never stood still");
    QVERIFY2(crops.size() > 1, "the title bar did not change while the title scrolled");
    if (!ended)
        qInfo("the title bar did not come back to the picture it had before the scroll");
    // Every title is a tail of the tag text: 25 blanks and the title. The joiners that keep
    // blanks through KWin's caption tidying are no letters of it.
    for (QString title : std::as_const(titles))
        QVERIFY2(kScrollText.endsWith(title.remove(QChar(0x034F))) && !title.isEmpty(),
                 qPrintable(u"a title that is no step of the scroll: '%1'"_s.arg(title)));
    const QString verdict = desktops::JudgeScroll(desktops::TitleInk(crops));
    QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
}

// Where the game draws its title bar, the fixed-size window's bar offers minimise and close;
// Qt's stock bar would add maximise between them. The buttons sit level with the title,
// 35 px above the board area, the close button's right end 4 px inside the board's.
void TestDesktops::ownTitleBarOffersNoMaximise() {
    if (!desktop_->GameDrawsTitleBar())
        QSKIP("the desktop draws the title bar");
    if (game_.state() != QProcess::Running || board_.isEmpty())
        QSKIP("no game window");
    FollowBoard();
    const QRect buttons(board_.right() - 80, board_.top() - 45, 84, 20);
    // Between scrolls: the title, when it comes back from the right, passes under this strip.
    QList<QImage> crops;
    const auto still = [&] {
        crops << desktop_->Screenshot().copy(buttons);
        const qsizetype n = crops.size();
        return n >= 3 && desktops::LooksSame(crops[n - 1], crops[n - 2]) &&
               desktops::LooksSame(crops[n - 2], crops[n - 3]);
    };
    QVERIFY2(PollUntil(still, kTimeoutMs, 150), "the title bar never stood still");
    const auto groups = desktops::InkGroups(crops.back());
    QVERIFY2(groups.size() == 2,
             qPrintable(u"%1 buttons where minimise and close should be: %2"_s.arg(groups.size())
                            .arg(Saved(u"buttons"_s, crops.back()))));
}

void TestDesktops::maximiseChangesNothing() {
    if (game_.state() != QProcess::Running || board_.isEmpty())
        QSKIP("no game window");
    FollowBoard();
    const QString problem = desktop_->Maximise(game_.processId());
    if (problem == "-"_L1)
        QSKIP("this desktop has no maximising");
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const auto moved = [&] { return Board() != std::optional(board_); };
    QVERIFY2(!PollUntil(moved, kMaximiseSettleMs, 100),
             qPrintable(u"maximising changed the window: %1 became %2"_s.arg(
                 QString::fromLatin1(QTest::toString(board_)),
                 QString::fromLatin1(QTest::toString(Board().value_or(QRect()))))));
}

void TestDesktops::closeEndsGame() {
    if (game_.state() != QProcess::Running)
        QSKIP("no game running");
    const QString ending = CloseAndSeeHowGameEnds();
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// F1 without a help.txt in the working folder opens a modal message box.
void TestDesktops::closesWhileBoxIsOpen() {
    QVERIFY(StartGame());
    QVERIFY2(PollUntil([&] { return Board().has_value(); }, kAppearMs, 100),
             "the game's window did not appear");
    const QImage before = screen_;
    const auto boxShown = [&] {
        if (const auto titles = desktop_->Titles(game_.processId()))
            return titles->size() == 2;
        return ChangedPixels(desktop_->Screenshot(), before) > kBoxPixels;
    };
    QVERIFY2(PressUntil(u"F1"_s, boxShown), "F1 did not open the message box");
    QTest::qWait(300); // for the picture: the box's first paint
    qInfo("screen with the box: %s", qPrintable(Saved(u"box"_s, desktop_->Screenshot())));
    if (desktop_->ModalBoxBlocksOwner()) {
        // The desktop keeps the close button under the box from the pointer: the click must
        // change nothing, and the box, once answered, leaves a window that closes as usual.
        QCOMPARE(desktop_->Close(game_.processId()), QString());
        QVERIFY2(!game_.waitForFinished(kTimeoutMs / 4), "the game ended under its box");
        // The box stands over the board: answered, it leaves the board as it was.
        const QRect board = board_;
        const auto boardBack = [&] {
            return ChangedPixels(desktop_->Screenshot().copy(board), before.copy(board)) <
                   kBoxPixels / 4;
        };
        QVERIFY2(PressUntil(u"Return"_s, boardBack), "Enter did not answer the box");
    }
    const QString ending = CloseAndSeeHowGameEnds();
    QVERIFY2(ending.isEmpty(), qPrintable(ending));
}

// Without a display server to answer, the game says so in one line instead of Qt's abort.
void TestDesktops::reportsUnreachableDisplay() {
    StopGame();
    QVERIFY(desktop_->StartGame(game_, true));
    QVERIFY(game_.waitForFinished(kTimeoutMs));
    QCOMPARE(game_.exitCode(), 1);
    const QString errors = QString::fromUtf8(game_.readAllStandardError());
    const QString display = desktop_->IsWayland() ? u"wayland-none"_s : u":none"_s;
    QVERIFY2(errors.startsWith("sdvigul: "_L1) && errors.count(u'\n') == 1 &&
                 errors.contains(display),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestDesktops)
#include "tst_desktops.moc"
