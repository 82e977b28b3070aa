// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2efixture.h"
#include "orcarun.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>

using namespace e2e;

namespace {

constexpr int kTimeoutMs = 10000;
constexpr char kBusLauncher[] = "/usr/libexec/at-spi-bus-launcher";
constexpr char kPython[] = "/usr/bin/python3";

// A private session bus with the desktop's accessibility bus on it, switched on as a desktop
// does when a screen reader starts. Every process it starts is ended by its id.
class AccessibilityBus {
public:
    ~AccessibilityBus() { Stop(); }

    QString Start(QProcessEnvironment environment) {
        XSession::TieToTest(session_);
        XSession::TieToTest(launcher_);
        session_.start(QStringLiteral("dbus-daemon"),
                       {"--session", "--nofork", "--print-address=1"});
        if (!session_.waitForReadyRead(kTimeoutMs))
            return QStringLiteral("no session bus");
        address_ = QString::fromUtf8(session_.readLine()).trimmed();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        environment_ = environment;
        launcher_.setProcessEnvironment(environment_);
        launcher_.setStandardErrorFile(QProcess::nullDevice());
        launcher_.start(QString::fromLatin1(kBusLauncher), {"--launch-immediately"});
        // Qt reads this once, when the game starts.
        const bool on = PollUntil(
            [this] {
                return !Send({"--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                              "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                              "string:IsEnabled", "variant:boolean:true"})
                            .isNull();
            },
            kTimeoutMs, 100);
        return on ? QString() : QStringLiteral("accessibility cannot be switched on");
    }

    // The registry daemon is started on the accessibility bus on demand; it and that bus's
    // daemon are found through their bus connections and ended by their ids.
    void Stop() {
        if (address_.isEmpty())
            return;
        const QString reply = QString::fromUtf8(
            Send({"--session", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"}));
        const QString a11yBus = reply.section(QLatin1Char('"'), 1, 1);
        for (const char* name : {"org.a11y.atspi.Registry", "org.freedesktop.DBus"}) {
            const QString pid = QString::fromUtf8(
                Send({"--bus=" + a11yBus, "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.GetConnectionUnixProcessID",
                      QStringLiteral("string:") + name}));
            if (const int id = pid.section(QStringLiteral("uint32 "), 1).toInt();
                !a11yBus.isEmpty() && id > 1)
                ::kill(id, SIGTERM);
        }
        for (QProcess* process : {&launcher_, &session_}) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
        }
        address_.clear();
    }

    QProcessEnvironment Environment() const { return environment_; }
    QProcessEnvironment GameEnvironment() const {
        QProcessEnvironment extra;
        extra.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        return extra;
    }

private:
    // dbus-send's reply; empty when the call failed.
    QByteArray Send(const QStringList& arguments) const {
        QProcess send;
        send.setProcessEnvironment(environment_);
        send.start(QStringLiteral("dbus-send"), QStringList{"--print-reply"} + arguments);
        const bool ok = send.waitForFinished(kTimeoutMs) && send.exitCode() == 0;
        return ok ? send.readAllStandardOutput() : QByteArray();
    }

    QProcess session_;
    QProcess launcher_;
    QString address_;
    QProcessEnvironment environment_;
};

// A screen reader's questions, asked through the pyatspi probe; its answer as JSON.
class Reader {
public:
    explicit Reader(const AccessibilityBus& bus) : bus_(bus) {}

    void Begin(QProcess& probe, const QStringList& arguments) const {
        probe.setProcessEnvironment(bus_.Environment());
        XSession::TieToTest(probe);
        probe.start(QString::fromLatin1(kPython),
                    QStringList{QStringLiteral(SDVIGUL_SOURCE_DIR "/tests/e2e/atspi_probe.py")} +
                        arguments);
    }
    // The answer is the last line; a listener says first that it listens.
    static QJsonObject End(QProcess& probe) {
        if (!probe.waitForFinished(kTimeoutMs * 2))
            probe.kill();
        probe.waitForFinished();
        const QByteArray last = probe.readAllStandardOutput().trimmed().split('\n').last();
        return QJsonDocument::fromJson(last).object();
    }
    QJsonObject Ask(const QStringList& arguments) const {
        QProcess probe;
        Begin(probe, arguments);
        return End(probe);
    }
    bool Did(const QStringList& arguments) const { return Ask(arguments).value("done").toBool(); }

    // The board as the tree tells it: tile per cell (0 for none), and each cell's texts.
    struct Board {
        Position position{};
        QJsonArray cells;
    };
    Board ReadBoard() const {
        Board board;
        board.cells = Ask({"board"}).value("cells").toArray();
        for (int i = 0; i < std::min<int>(kCells, board.cells.size()); ++i)
            board.position[i] = Tile(board, i + 1).value("name").toString().toInt();
        return board;
    }
    static QJsonObject Tile(const Board& board, int cell) {
        return board.cells[cell - 1].toObject().value("tile").toObject();
    }

private:
    const AccessibilityBus& bus_;
};

QString Place(int cell) {
    return QStringLiteral("ряд %1, столбец %2").arg((cell - 1) / 4 + 1).arg((cell - 1) % 4 + 1);
}

constexpr int kHearTimeoutMs = 10000;
constexpr int kTabStops = 31;
constexpr int kMaxDeals = 30;
constexpr int kOrcaWaitMs = 60000;
constexpr int kFirstDeals = 3;
constexpr int kFirstDealMs = 3000;

// Orca 43 calls a button's role "push button", later versions "button".
const QString kButton = QStringLiteral("(?:push )?button");

// Where Tab reaches cell or tile `k` in the board's order: cell 16, cells 2 … 15, cell 1,
// tile 15, tiles 3 … 14, tile 1, tile 2.
int TabStopOfTile(int tile) {
    if (tile == 15)
        return 16;
    if (tile <= 2)
        return 28 + tile;
    return tile + 14;
}

// The Tab presses that bring the focus from tab stop `from` (-1: nothing has the focus yet)
// to tile `tile`.
QStringList TabsToTile(int from, int tile) {
    const int to = TabStopOfTile(tile);
    const int presses = from < 0 ? to + 1 : (to - from + kTabStops) % kTabStops;
    return QStringList(presses, QStringLiteral("Tab"));
}

// What Orca says when tile `tile` in cell `cell` takes the focus: "5 push button. ряд 2,
// столбец 3." as the last thing said.
QRegularExpression FocusOnTile(int tile, int cell) {
    return QRegularExpression(
        QStringLiteral("(^|\\s)%1 %2\\. %3\\.$").arg(tile).arg(kButton, Place(cell)));
}

// What Orca says when the focused tile has moved into `cell`, as the last thing said.
QRegularExpression MovedInto(int cell) {
    return QRegularExpression(QStringLiteral("(^|\\s)(notification )?%1\\.?$").arg(Place(cell)));
}

} // namespace

// The game through the desktop's accessibility bus, as a screen reader reads and plays it,
// checked against what the screen shows.
class TestA11y : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase() { bus_.Stop(); }
    void playThroughTheTree();
    void playWithOrca();

private:
    // Waits until the tree shows a board other than `before`; the board it shows then.
    std::optional<Position> WaitForOtherBoard(const Position& before);
    // Chooses «По клику» by the menu's keys while Orca runs.
    bool ClickModeHeard(OrcaRun& orca);

    // Presses the tile in `cell` through the tree: true when the tree and the screen show it
    // moved into the empty cell, and a reader heard of it.
    bool PressMoves(int cell);

    E2eFixture f_;
    AccessibilityBus bus_;
    Reader reader_{bus_};
};

void TestA11y::initTestCase() {
    QProcess pyatspi;
    pyatspi.start(QString::fromLatin1(kPython), {"-c", "import pyatspi"});
    if (!QFileInfo::exists(QString::fromLatin1(kBusLauncher)) ||
        QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
        !pyatspi.waitForFinished(kTimeoutMs) || pyatspi.exitCode() != 0)
        QSKIP("needs at-spi2-core, dbus-daemon and python3-pyatspi");
    const QString error = f_.StartSession();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString busError = bus_.Start(f_.X().Environment());
    if (!busError.isEmpty())
        QSKIP(qPrintable(QStringLiteral("the accessibility stack cannot start: ") + busError));
}

// The game starts once the bus is on: Qt asks whether a reader listens only at start-up.
void TestA11y::init() {
    const QString error = f_.StartGame(QStringLiteral(SDVIGUL_GAME_BINARY), bus_.GameEnvironment());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// Keeps the last screenshot of a failed case, and stops the game.
void TestA11y::cleanup() {
    const QString problem = f_.FinishCase();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

bool TestA11y::PressMoves(int cell) {
    const Reader::Board before = reader_.ReadBoard();
    const ClientShot shotBefore = f_.Game().Shot();
    const int tile = before.position[cell - 1];
    const int empty = EmptyCell(before.position);
    QProcess listener;
    reader_.Begin(listener, {"listen", "2.5"});
    if (!listener.waitForReadyRead(kTimeoutMs) || !reader_.Did({"press", QString::number(tile)}))
        return false;
    const bool onScreen =
        !f_.Game()
             .WaitForShot(
                 [&](const ClientShot& shot) { return shot.IsMoveOf(shotBefore, cell, empty); },
                 kTimeoutMs)
             .IsNull();
    const Reader::Board after = reader_.ReadBoard();
    // The reader heard of the tile's new place and of the cell that became empty.
    QStringList heard;
    for (const QJsonValue event : Reader::End(listener).value("heard").toArray())
        heard << event[QLatin1String("type")].toString().section(QLatin1Char(':'), 2) + ' ' +
                     event[QLatin1String("name")].toString();
    return onScreen && after.position == AfterMove(before.position, cell) &&
           Reader::Tile(after, empty).value("description").toString().startsWith(Place(empty)) &&
           heard.contains("accessible-description " + QString::number(tile)) &&
           heard.contains(QStringLiteral("accessible-name пусто"));
}

void TestA11y::playThroughTheTree() {
    QVERIFY(reader_.Did({"menu", "Новая игра"}));
    QVERIFY(!f_.Game().WaitForShot(&E2eFixture::IsDealt, kTimeoutMs).IsNull());
    // "Ассорти" backs let the screenshot tell the tiles apart.
    const std::optional<quint64> chooser = f_.OpenChooserByMouse();
    QVERIFY(chooser && f_.ChooseAssorted(*chooser));

    // The tree reads as the screen shows the board.
    Reader::Board board = reader_.ReadBoard();
    const ClientShot shot = f_.Game().WaitForShot(
        [&](const ClientShot& s) { return f_.ReadPosition(s) == board.position; }, kTimeoutMs);
    QVERIFY(!shot.IsNull());
    for (int cell = 1; cell <= kCells; ++cell) {
        const QJsonObject entry = board.cells[cell - 1].toObject();
        const QJsonObject tile = Reader::Tile(board, cell);
        QCOMPARE(entry.value("description").toString(), Place(cell));
        QCOMPARE(entry.value("name").toString(),
                 QString::fromUtf8(board.position[cell - 1] ? "клетка" : "пусто"));
        QCOMPARE(entry.value("actions").toArray(), QJsonArray());
        if (board.position[cell - 1] == 0)
            continue;
        QCOMPARE(tile.value("role").toString(), QStringLiteral("ROLE_PUSH_BUTTON"));
        QCOMPARE(tile.value("description").toString(), Place(cell));
        QCOMPARE(tile.value("actions").toArray(), QJsonArray{"Press"});
        QCOMPARE(QPoint(tile.value("x").toInt(), tile.value("y").toInt()),
                 f_.Game().ToScreen(ClientShot::CellRect(cell).topLeft()));
    }

    // Drag mode: a neighbour of the empty cell moves; a tile far from it stays put.
    QVERIFY(PressMoves(NeighbourCells(EmptyCell(board.position)).front()));
    board = reader_.ReadBoard();
    const int empty = EmptyCell(board.position);
    const std::vector<int> neighbours = NeighbourCells(empty);
    int far = 1;
    while (far == empty || std::count(neighbours.begin(), neighbours.end(), far))
        ++far;
    const ClientShot beforeRefusal = f_.Game().Shot();
    QVERIFY(reader_.Did({"press", QString::number(board.position[far - 1])}));
    QTest::qWait(500);
    QCOMPARE(reader_.ReadBoard().position, board.position);
    QVERIFY(f_.Game().Shot().SamePosition(beforeRefusal));

    // Click mode, chosen through the tree.
    QVERIFY(reader_.Did({"menu", "По клику"}));
    QVERIFY(PressMoves(neighbours.back()));

    // The hint: the tree calls movable exactly the tiles the screen marks yellow.
    QVERIFY(reader_.Did({"menu", "Подсказка"}));
    const ClientShot hinted = f_.Game().WaitForShot(
        [](const ClientShot& s) { return !s.HintedCells().isEmpty(); }, kTimeoutMs);
    board = reader_.ReadBoard();
    QList<int> sayMovable;
    for (int cell = 1; cell <= kCells; ++cell)
        if (Reader::Tile(board, cell)
                .value("description")
                .toString()
                .endsWith(QStringLiteral(", можно сдвинуть")))
            sayMovable << cell;
    QCOMPARE(sayMovable, hinted.HintedCells());

    // The move master: the status bar's value after "Ход:" counts its moves while the screen
    // shows it.
    QVERIFY(reader_.Did({"menu", "Мастер ходов"}));
    QVERIFY(PollUntil(
        [&] {
            return reader_.Ask({"status", "Ход:"}).value("value").toString().toInt() > 0;
        },
        kTimeoutMs, 200));
    QVERIFY(f_.Game().Shot().MoveValueShown());
    const QString time = reader_.Ask({"status", "Время:"}).value("value").toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+:\\d\\d:\\d\\d$")).match(time).hasMatch(),
             qPrintable(time));
    QVERIFY(reader_.Did({"menu", "Мастер ходов"}));
}

// Every key goes to Orca before the game gets it. Typed at once, Alt+и opens the menu and
// Alt's release closes it again, so Alt is held until Orca has heard it, as a player hears it.
bool TestA11y::ClickModeHeard(OrcaRun& orca) {
    XSession& x = f_.X();
    const int mark = orca.Mark();
    x.Xdotool({QStringLiteral("keydown"), QStringLiteral("Alt_L")});
    const bool heard =
        orca.WaitToHear(mark, QRegularExpression(QStringLiteral("alt")), kHearTimeoutMs)
            .has_value();
    const QList<quint64> known = f_.Game().OtherWindows();
    x.Keys({QStringLiteral("Cyrillic_i")});
    x.Xdotool({QStringLiteral("keyup"), QStringLiteral("Alt_L")});
    if (!heard || !f_.Game().WaitForMenu(known))
        return false;
    x.Keys({QStringLiteral("Cyrillic_ef"), QStringLiteral("Cyrillic_ka")});
    return PollUntil([this] { return f_.Game().MenusClosed(); }, kTimeoutMs);
}

std::optional<Position> TestA11y::WaitForOtherBoard(const Position& before) {
    Position now{};
    const bool changed = PollUntil(
        [&] {
            now = reader_.ReadBoard().position;
            return IsWellFormed(now) && now != before;
        },
        kTimeoutMs, 100);
    return changed ? std::optional(now) : std::nullopt;
}

// A blind player's game with the real Orca, by keys alone: every check is on what Orca says,
// read from its debug output; the tree only tells the test where the tiles are.
void TestA11y::playWithOrca() {
    if (const QString missing = OrcaRun::Missing(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs ") + missing));
    if (!PollUntil([] { return !OrcaRun::OtherOrcaRuns(); }, kOrcaWaitMs, 500))
        QSKIP("another Orca of this user keeps running; only one can run at a time");
    OrcaRun orca;
    const QString error = orca.Start(bus_.Environment());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    XSession& x = f_.X();
    const auto hear = [&orca](int mark, const QRegularExpression& pattern) {
        const auto heard = orca.WaitToHear(mark, pattern, kHearTimeoutMs);
        if (!heard)
            qWarning().noquote() << "expected" << pattern.pattern() << "heard"
                                 << orca.SaidSince(mark);
        return heard;
    };
    // Tabs to a tile, and Orca names it. The stops on the way go as fast as the keys come,
    // and Orca 43 drops the speech of a focus that a quick next key replaces; on a busy
    // machine the game may take a burst of keys at once, the last one too. So the player
    // waits until Orca has had the keys on the way before pressing the last Tab.
    const auto tabToTile = [&](int from, int tile, int cell) {
        const QStringList tabs = TabsToTile(from, tile);
        const int mark = orca.Mark();
        x.Keys(tabs.mid(1));
        const QRegularExpression echo(QStringLiteral("\\btab\\b"),
                                      QRegularExpression::CaseInsensitiveOption);
        PollUntil([&] { return orca.SaidSince(mark).count(echo) >= tabs.size() - 1; },
                  kHearTimeoutMs, 50);
        const int last = orca.Mark();
        x.Keys(tabs.mid(0, 1));
        return hear(last, FocusOnTile(tile, cell)).has_value();
    };

    // A new game is announced with the place of the empty cell. Orca starts to listen to the
    // game a moment after it first speaks (Orca 48 only once it has named the window), and what
    // the game says before is lost: F2 deals again until Orca hears a deal.
    Position board = reader_.ReadBoard().position;
    bool dealHeard = false;
    int mark = 0;
    for (int deal = 0; deal < kFirstDeals && !dealHeard; ++deal) {
        mark = orca.Mark();
        x.Keys({QStringLiteral("F2")});
        const std::optional<Position> next = WaitForOtherBoard(board);
        QVERIFY(next);
        board = *next;
        const QString dealt = QStringLiteral("Новая раскладка. Пусто: ") + Place(EmptyCell(board));
        dealHeard = orca.WaitToHear(mark, QRegularExpression(QRegularExpression::escape(dealt)),
                                    kFirstDealMs)
                        .has_value();
    }
    QVERIFY2(dealHeard, qPrintable(orca.SaidSince(mark)));
    int empty = EmptyCell(board);

    // Tab to a tile beside the empty cell: its number, role and place.
    const int cell = NeighbourCells(empty).front();
    const int tile = board[cell - 1];
    QVERIFY(tabToTile(-1, tile, cell));

    // Space moves it in drag mode, and its new place is heard.
    mark = orca.Mark();
    x.Keys({QStringLiteral("space")});
    QVERIFY(hear(mark, MovedInto(empty)));
    QVERIFY(WaitForOtherBoard(board) == AfterMove(board, cell));
    board = AfterMove(board, cell);

    // Click mode through the menu by keys: the focus comes back to the tile, and Space moves
    // it back.
    mark = orca.Mark();
    QVERIFY2(ClickModeHeard(orca), qPrintable(orca.SaidSince(mark)));
    if (!orca.WaitToHear(mark, FocusOnTile(tile, empty), kHearTimeoutMs)) {
        // Orca 48 now and then speaks the place the tile had before its move when the menu
        // gives the focus back (the game has told it the new one). The player then hears the
        // right place by leaving the tile and coming back to it.
        qInfo().noquote() << "the focus back from the menu was heard as" << orca.SaidSince(mark);
        mark = orca.Mark();
        x.Keys({QStringLiteral("Tab"), QStringLiteral("shift+Tab")});
        QVERIFY(hear(mark, FocusOnTile(tile, empty)));
    }
    mark = orca.Mark();
    x.Keys({QStringLiteral("space")});
    QVERIFY(hear(mark, MovedInto(cell)));
    QVERIFY(WaitForOtherBoard(board) == AfterMove(board, empty));
    board = AfterMove(board, empty);

    // The move master's time and moves, read by Orca's status-bar command (Orca+KP_Enter
    // twice).
    x.Keys({QStringLiteral("ctrl+F3")});
    QVERIFY(PollUntil(
        [&] {
            return reader_.Ask({"status", "Ход:"}).value("value").toString().toInt() > 0;
        },
        kTimeoutMs, 100));
    mark = orca.Mark();
    x.Keys({QStringLiteral("Insert+KP_Enter"), QStringLiteral("Insert+KP_Enter")});
    const auto status =
        hear(mark, QRegularExpression(QStringLiteral("Время: \\d+:\\d\\d:\\d\\d\\.? Ход: (\\d+)")));
    QVERIFY(status);
    QVERIFY(status->captured(1).toInt() > 0);
    x.Keys({QStringLiteral("ctrl+F3")});
    QVERIFY(PollUntil(
        [&] {
            return reader_.Ask({"status", "Ход:"}).value("value").toString().isEmpty();
        },
        kTimeoutMs, 100));

    // A solvable deal played through Press up to its last move.
    board = reader_.ReadBoard().position;
    for (int deal = 0; deal < kMaxDeals && !IsSolvable(board); ++deal) {
        x.Keys({QStringLiteral("F2")});
        const std::optional<Position> next = WaitForOtherBoard(board);
        QVERIFY(next);
        board = *next;
    }
    QVERIFY(IsSolvable(board));
    const std::optional<std::vector<int>> solution = Solve(board);
    QVERIFY(solution && !solution->empty());
    QStringList presses{QStringLiteral("press")};
    for (std::size_t i = 0; i + 1 < solution->size(); ++i) {
        presses << QString::number(board[(*solution)[i] - 1]);
        board = AfterMove(board, (*solution)[i]);
    }
    if (presses.size() > 1) {
        QVERIFY(reader_.Did(presses));
        QVERIFY(PollUntil([&] { return reader_.ReadBoard().position == board; }, kTimeoutMs, 100));
    }

    // The last move by the keys: the congratulation, its question and its Yes.
    const int last = solution->back();
    const int lastTile = board[last - 1];
    if (lastTile != tile)
        QVERIFY(tabToTile(TabStopOfTile(tile), lastTile, last));
    mark = orca.Mark();
    x.Keys({QStringLiteral("space")});
    // Orca 43 names the tile's new place first; Orca 48 hears the key only after the box opened.
    const QString congratulation = QStringLiteral("Поздравляем!.*Еще раз\\?.*Да %1").arg(kButton);
    QVERIFY(hear(mark, QRegularExpression(congratulation)));
    mark = orca.Mark();
    x.Keys({QStringLiteral("Return")});
    QVERIFY(hear(mark, QRegularExpression(QStringLiteral("Новая раскладка\\. Пусто: "))));
}

QTEST_MAIN(TestA11y)
#include "tst_e2e_a11y.moc"
