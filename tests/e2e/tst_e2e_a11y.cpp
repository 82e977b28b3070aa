// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2efixture.h"

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

private:
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

QTEST_MAIN(TestA11y)
#include "tst_e2e_a11y.moc"
