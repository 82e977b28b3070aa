// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2efixture.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/types.h>

using namespace e2e;

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kProbeTimeoutMs = 20000;
constexpr int kMoveTimeoutMs = 4000;
constexpr char kBusLauncher[] = "/usr/libexec/at-spi-bus-launcher";
constexpr char kPython[] = "/usr/bin/python3";
const QString kProbe = QStringLiteral(SDVIGUL_SOURCE_DIR "/tests/e2e/atspi_probe.py");

// A private session bus with the desktop's accessibility bus on it, switched on the way a
// desktop does when a screen reader starts. Every process it starts is ended by its id.
class AccessibilityBus {
public:
    ~AccessibilityBus() { Stop(); }

    QString Start(const QProcessEnvironment& display) {
        environment_ = display;
        session_.setProgram(QStringLiteral("dbus-daemon"));
        session_.setArguments({"--session", "--nofork", "--print-address=1"});
        XSession::TieToTest(session_);
        session_.start();
        if (!session_.waitForStarted(kStartTimeoutMs) ||
            !session_.waitForReadyRead(kStartTimeoutMs))
            return QStringLiteral("no session bus: ") + session_.errorString();
        address_ = QString::fromUtf8(session_.readLine()).trimmed();
        environment_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        launcher_.setProgram(QString::fromLatin1(kBusLauncher));
        launcher_.setArguments({"--launch-immediately"});
        launcher_.setProcessEnvironment(environment_);
        launcher_.setStandardOutputFile(QProcess::nullDevice());
        launcher_.setStandardErrorFile(QProcess::nullDevice());
        XSession::TieToTest(launcher_);
        launcher_.start();
        if (!launcher_.waitForStarted(kStartTimeoutMs))
            return QStringLiteral("the accessibility bus does not start");
        // What a desktop sets when a reader starts; Qt reads it once, when the game starts.
        const bool enabled = PollUntil(
            [this] {
                return Send({"--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                             "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                             "string:IsEnabled", "variant:boolean:true"})
                    .has_value();
            },
            kStartTimeoutMs, 100);
        return enabled ? QString() : QStringLiteral("accessibility cannot be switched on");
    }

    // The registry daemon runs on the accessibility bus, started there on demand; it and the
    // bus's own daemon are found by their connections and ended by their ids.
    void Stop() {
        if (address_.isEmpty())
            return;
        QList<qint64> pids;
        if (const auto bus = Send(
                {"--session", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"})) {
            const QRegularExpression quoted(QStringLiteral("string \"([^\"]+)\""));
            const QString a11yBus = quoted.match(QString::fromUtf8(*bus)).captured(1);
            for (const char* name : {"org.a11y.atspi.Registry", "org.freedesktop.DBus"})
                if (const auto pid = Send({"--bus=" + a11yBus, "--dest=org.freedesktop.DBus",
                                           "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                           QStringLiteral("string:") + QLatin1String(name)}))
                    pids << QString::fromUtf8(*pid)
                                .section(QStringLiteral("uint32 "), 1)
                                .toLongLong();
        }
        for (const qint64 pid : pids)
            if (pid > 1 && pid != launcher_.processId())
                ::kill(static_cast<pid_t>(pid), SIGTERM);
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
    std::optional<QByteArray> Send(const QStringList& arguments) const {
        QProcess send;
        send.setProcessEnvironment(environment_);
        send.start(QStringLiteral("dbus-send"), QStringList{"--print-reply"} + arguments);
        if (!send.waitForFinished(kStartTimeoutMs) || send.exitStatus() != QProcess::NormalExit ||
            send.exitCode() != 0)
            return std::nullopt;
        return send.readAllStandardOutput();
    }

    QProcess session_;
    QProcess launcher_;
    QString address_;
    QProcessEnvironment environment_;
};

// A screen reader's view of the game: one probe run per question, its answer as JSON.
class Reader {
public:
    explicit Reader(const AccessibilityBus& bus) : bus_(bus) {}

    QJsonObject Ask(const QStringList& arguments) const {
        QProcess probe;
        Prepare(probe, arguments);
        probe.start();
        if (!probe.waitForFinished(kProbeTimeoutMs)) {
            probe.kill();
            probe.waitForFinished();
            return {{"error", "the probe hangs"}};
        }
        return Parse(probe.readAllStandardOutput(), probe.readAllStandardError());
    }

    // For actions that return only when what they open has closed, and for listening.
    void Begin(QProcess& probe, const QStringList& arguments) const {
        Prepare(probe, arguments);
        probe.start();
    }
    static QJsonObject End(QProcess& probe) {
        if (!probe.waitForFinished(kProbeTimeoutMs))
            probe.kill();
        probe.waitForFinished();
        // The answer is the last line; a listener prints that it listens first.
        return Parse(probe.readAllStandardOutput().trimmed().split('\n').last(), {});
    }

    // Cell number (1..16) of each tile the tree holds, and the tree's other texts.
    struct Board {
        Position position{};
        QJsonArray cells;
        QString error;
    };
    Board ReadBoard() const {
        Board board;
        const QJsonObject answer = Ask({"board"});
        if (answer.contains("error")) {
            board.error = answer.value("error").toString();
            return board;
        }
        board.cells = answer.value("cells").toArray();
        if (answer.value("frame").toString() != QStringLiteral("Игровое поле") ||
            board.cells.size() != kCells) {
            board.error = QStringLiteral("no named board frame with 16 cells");
            return board;
        }
        for (int i = 0; i < kCells; ++i) {
            const QJsonArray tiles = board.cells[i].toObject().value("tiles").toArray();
            board.position[i] =
                tiles.isEmpty() ? 0 : tiles[0].toObject().value("name").toString().toInt();
        }
        return board;
    }

private:
    void Prepare(QProcess& probe, const QStringList& arguments) const {
        probe.setProcessEnvironment(bus_.Environment());
        probe.setProgram(QString::fromLatin1(kPython));
        probe.setArguments(QStringList{kProbe} + arguments);
        XSession::TieToTest(probe);
    }
    static QJsonObject Parse(const QByteArray& out, const QByteArray& err) {
        QJsonParseError problem{};
        const QJsonDocument json = QJsonDocument::fromJson(out.trimmed(), &problem);
        if (problem.error != QJsonParseError::NoError)
            return {{"error", QString::fromUtf8(out + err)}};
        return json.object();
    }

    const AccessibilityBus& bus_;
};

QString Place(int cell) {
    return QStringLiteral("ряд %1, столбец %2").arg((cell - 1) / 4 + 1).arg((cell - 1) % 4 + 1);
}

QString Describe(const Position& position) {
    QStringList cells;
    for (const int tile : position)
        cells << QString::number(tile);
    return cells.join(QLatin1Char(' '));
}

// The tiles the tree says the player can move now, as cells.
QList<int> CellsSayingMovable(const Reader::Board& board) {
    QList<int> cells;
    for (int i = 0; i < kCells; ++i)
        for (const QJsonValue tile : board.cells[i].toObject().value("tiles").toArray())
            if (tile.toObject()
                    .value("description")
                    .toString()
                    .endsWith(QStringLiteral(", можно сдвинуть")))
                cells << i + 1;
    return cells;
}

} // namespace

// The game through the desktop's accessibility bus, as a screen reader sees and plays it,
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
    // Presses the tile in `cell` through the tree; true when tree and screen show it moved
    // into the empty cell.
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
        !pyatspi.waitForFinished(kStartTimeoutMs) || pyatspi.exitCode() != 0)
        QSKIP("needs at-spi2-core, dbus-daemon and python3-pyatspi");
    QString error = f_.StartSession();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = bus_.Start(f_.X().Environment());
    if (!error.isEmpty())
        QSKIP(qPrintable(QStringLiteral("the accessibility stack cannot start: ") + error));
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
    if (!listener.waitForReadyRead(kProbeTimeoutMs))
        return false;
    if (!reader_.Ask({"press", QString::number(tile)}).value("pressed").toBool())
        return false;
    const ClientShot moved = f_.Game().WaitForShot(
        [&](const ClientShot& shot) { return shot.IsMoveOf(shotBefore, cell, empty); },
        kMoveTimeoutMs);
    const Reader::Board after = reader_.ReadBoard();
    const QJsonArray heard = Reader::End(listener).value("heard").toArray();
    // The reader heard the tile's new place and the two cells' new names.
    auto heardOf = [&](const QString& name, const QString& type) {
        for (const QJsonValue event : heard)
            if (event.toObject().value("name").toString() == name &&
                event.toObject().value("type").toString().endsWith(type))
                return true;
        return false;
    };
    const QJsonObject tileNow =
        after.cells[empty - 1].toObject().value("tiles").toArray().at(0).toObject();
    return !moved.IsNull() && after.position == AfterMove(before.position, cell) &&
           tileNow.value("description").toString().startsWith(Place(empty)) &&
           after.cells[cell - 1].toObject().value("name").toString() ==
               QStringLiteral("пустая клетка") &&
           heardOf(QString::number(tile), QStringLiteral("accessible-description")) &&
           heardOf(QStringLiteral("пустая клетка"), QStringLiteral("accessible-name"));
}

void TestA11y::playThroughTheTree() {
    // New game and "Ассорти" backs, all through the tree: the backs let the screenshot tell
    // the tiles apart.
    QCOMPARE(reader_.Ask({"menu", "Новая игра"}).value("done").toBool(), true);
    QVERIFY(!f_.Game().WaitForShot(&E2eFixture::IsDealt, kMoveTimeoutMs).IsNull());
    QProcess chooserMenu; // returns when the modal chooser has closed
    reader_.Begin(chooserMenu, {"menu", "Рубашка..."});
    QJsonObject chooser;
    QVERIFY(PollUntil(
        [&] {
            chooser = reader_.Ask({"chooser"});
            return chooser.value("pictures").toArray().size() == 15;
        },
        kStartTimeoutMs, 200));
    QCOMPARE(chooser.value("name").toString(), QStringLiteral("Рубашка фишек"));
    const QJsonArray pictures = chooser.value("pictures").toArray();
    for (int k = 0; k < 15; ++k) {
        QCOMPARE(pictures[k].toObject().value("name").toString(),
                 QStringLiteral("Рубашка %1").arg(k + 1));
        QCOMPARE(pictures[k].toObject().value("selected").toBool(), k == 0);
    }
    QVERIFY(reader_.Ask({"chooser-press", "Рубашка 3"}).value("pressed").toBool());
    QVERIFY(reader_.Ask({"chooser"})
                .value("pictures")
                .toArray()[2]
                .toObject()
                .value("selected")
                .toBool());
    QVERIFY(reader_.Ask({"chooser-press", "Ассорти"}).value("pressed").toBool());
    QVERIFY(reader_.Ask({"chooser-press", "ОК"}).value("pressed").toBool());
    QCOMPARE(Reader::End(chooserMenu).value("done").toBool(), true);

    // The tree reads as the screen shows the board.
    Reader::Board board = reader_.ReadBoard();
    QVERIFY2(board.error.isEmpty(), qPrintable(board.error));
    const ClientShot shot = f_.Game().WaitForShot(
        [&](const ClientShot& s) {
            const auto seen = f_.ReadPosition(s);
            return seen && *seen == board.position;
        },
        kMoveTimeoutMs);
    QVERIFY2(!shot.IsNull(), qPrintable(Describe(board.position)));
    for (int cell = 1; cell <= kCells; ++cell) {
        const QJsonObject entry = board.cells[cell - 1].toObject();
        QCOMPARE(entry.value("description").toString(), Place(cell));
        const QJsonArray tiles = entry.value("tiles").toArray();
        QCOMPARE(entry.value("name").toString(),
                 tiles.isEmpty() ? QStringLiteral("пустая клетка") : QStringLiteral("клетка"));
        if (tiles.isEmpty())
            continue;
        const QJsonObject tile = tiles[0].toObject();
        QCOMPARE(tile.value("role").toString(), QStringLiteral("push button"));
        QCOMPARE(tile.value("description").toString(), Place(cell));
        QCOMPARE(tile.value("actions").toArray(), QJsonArray{"Press"});
        const QJsonArray box = tile.value("extents").toArray();
        QCOMPARE(QPoint(box[0].toInt(), box[1].toInt()),
                 f_.Game().ToScreen(ClientShot::CellRect(cell).topLeft()));
    }

    // Drag mode: a neighbour of the empty cell moves, a tile far from it stays.
    QVERIFY(PressMoves(NeighbourCells(EmptyCell(board.position)).front()));
    board = reader_.ReadBoard();
    const int emptyNow = EmptyCell(board.position);
    const std::vector<int> neighbours = NeighbourCells(emptyNow);
    int far = 1;
    while (far == emptyNow ||
           std::find(neighbours.begin(), neighbours.end(), far) != neighbours.end())
        ++far;
    const ClientShot beforeRefusal = f_.Game().Shot();
    QVERIFY(
        reader_.Ask({"press", QString::number(board.position[far - 1])}).value("pressed").toBool());
    QTest::qWait(500);
    QCOMPARE(reader_.ReadBoard().position, board.position);
    QVERIFY(f_.Game().Shot().SamePosition(beforeRefusal));

    // Click mode, chosen through the tree.
    QCOMPARE(reader_.Ask({"menu", "По клику"}).value("done").toBool(), true);
    QVERIFY(PressMoves(neighbours.back()));

    // The hint: the tree names as movable exactly the tiles the screen marks yellow.
    QCOMPARE(reader_.Ask({"menu", "Подсказка"}).value("done").toBool(), true);
    board = reader_.ReadBoard();
    const ClientShot hinted = f_.Game().WaitForShot(
        [](const ClientShot& s) { return !s.HintedCells().isEmpty(); }, kMoveTimeoutMs);
    QVERIFY(!hinted.IsNull());
    QCOMPARE(CellsSayingMovable(board), hinted.HintedCells());

    // The move master: the value labelled "Ход:" counts its moves, as the screen shows.
    QCOMPARE(reader_.Ask({"menu", "Мастер ходов"}).value("done").toBool(), true);
    QString moves;
    QVERIFY(PollUntil(
        [&] {
            moves = reader_.Ask({"status", "Ход:"}).value("value").toString();
            return moves.toInt() > 0;
        },
        kStartTimeoutMs, 200));
    QVERIFY(f_.Game().Shot().MoveValueShown());
    QVERIFY(!reader_.Ask({"status", "Время:"}).value("value").toString().isEmpty());
    QCOMPARE(reader_.Ask({"menu", "Мастер ходов"}).value("done").toBool(), true);
}

QTEST_MAIN(TestA11y)
#include "tst_e2e_a11y.moc"
