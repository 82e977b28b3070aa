// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2efixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <algorithm>

namespace e2e {

namespace {

// The first deal under Wine, in a prefix just made on a busy machine, took over five seconds.
constexpr int kDealTimeoutMs = 15000;
constexpr int kWindowTimeoutMs = 5000;
constexpr int kMoveTimeoutMs = 3000;
constexpr int kMaxDeals = 30;
constexpr int kMovesPerCheck = 8;

QString FailureShotPath() {
    QString name = QStringLiteral("e2e-failure-%1-%2")
                       .arg(QFileInfo(QString::fromLocal8Bit(QTest::currentAppName())).fileName())
                       .arg(QString::fromLatin1(QTest::currentTestFunction()));
    if (const char* tag = QTest::currentDataTag())
        name += QLatin1Char('-') + QString::fromUtf8(tag);
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return QDir::current().absoluteFilePath(name + QStringLiteral(".png"));
}

} // namespace

QString ExactTitle(const QString& text) {
    // xdotool takes a POSIX extended expression; only its own special characters are escaped.
    const QString special = QStringLiteral(".[]()*+?{}|^$\\");
    QString pattern = QStringLiteral("^");
    for (const QChar c : text) {
        if (special.contains(c))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

E2eFixture::E2eFixture() : backs_(QStringLiteral(SDVIGUL_SOURCE_DIR)) {}

QString E2eFixture::StartSession() {
    if (!backs_.IsValid())
        return backs_.Error();
    QString error;
    if (!x_.Start(&error))
        return error;
    if (const QString exe = WineGame::ExeFromEnvironment(); !exe.isEmpty()) {
        wine_ = std::make_unique<WineGame>(exe);
        wine_->Prepare(x_, &error);
    }
    return error;
}

QString E2eFixture::StartGame() {
    return StartGame(QStringLiteral(SDVIGUL_GAME_BINARY), QProcessEnvironment());
}

QString E2eFixture::StartGame(const QString& program, const QProcessEnvironment& extra) {
    if (wine_) {
        game_ = std::make_unique<GameRun>(x_, WineGame::Program(), wine_->Arguments());
        game_->AddEnvironment(wine_->Environment());
        game_->CentreByOtherFrame();
    } else {
        game_ = std::make_unique<GameRun>(x_, program);
    }
    game_->AddEnvironment(extra);
    QString error;
    game_->Start(&error);
    return error;
}

QString E2eFixture::FinishCase() {
    if (!game_)
        return {};
    if (QTest::currentTestFailed()) {
        // The screen as it is now: the last one a check took may be older than the failure.
        QImage shot = x_.Screenshot();
        if (shot.isNull())
            shot = x_.LastScreenshot();
        const QString path = FailureShotPath();
        if (shot.save(path))
            qInfo("last screenshot of the failed case: %s", qPrintable(path));
        qInfo("game output: %s", qPrintable(game_->Log()));
    }
    const QString problem = game_->Stop();
    game_.reset();
    return problem;
}

ClientShot E2eFixture::NewGameByF2(const ClientShot& before) {
    x_.Keys({QStringLiteral("F2")});
    return game_->WaitForShot(
        [&](const ClientShot& shot) {
            return IsDealt(shot) && (before.IsNull() || !shot.SamePosition(before));
        },
        kDealTimeoutMs);
}

bool E2eFixture::ClickModeByMouse() {
    // "Сдвиг фишки" is the second entry of "Игра", "По клику" the first of its submenu.
    return game_->ChooseByMouse(GameRun::kMenuTitleGame, {1, 0});
}

bool E2eFixture::ClickModeByKeys() {
    if (!game_->OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}))
        return false;
    x_.Keys({QStringLiteral("Cyrillic_ef"), QStringLiteral("Cyrillic_ka")});
    return PollUntil([this] { return game_->MenusClosed(); }, kWindowTimeoutMs);
}

std::optional<quint64> E2eFixture::WaitForChooser(const QList<quint64>& known) {
    const auto found = game_->WaitForWindow(
        known,
        [this](quint64 window) {
            const auto info = x_.Window(window);
            // Found by what it is, and only once it stands where the game puts it.
            return info && info->client.size() == kChooserSize &&
                   x_.WindowName(window) == QStringLiteral(" ") && game_->IsCentred(window);
        },
        kWindowTimeoutMs);
    if (!found)
        for (const quint64 window : game_->OtherWindows()) {
            const auto info = x_.Window(window);
            qInfo("no chooser; window %llu of the game: %s %dx%d at %d,%d, centred: %d", window,
                  qPrintable(x_.WindowName(window).value_or(QStringLiteral("?"))),
                  info ? info->client.width() : -1, info ? info->client.height() : -1,
                  info ? info->client.x() : -1, info ? info->client.y() : -1,
                  int(game_->IsCentred(window)));
        }
    return found;
}

std::optional<quint64> E2eFixture::OpenChooserByMouse() {
    const QList<quint64> known = game_->OtherWindows();
    // "Рубашка..." is the fourth entry of "Игра".
    if (!game_->ChooseByMouse(GameRun::kMenuTitleGame, {3}))
        return std::nullopt;
    return WaitForChooser(known);
}

std::optional<quint64> E2eFixture::OpenChooserByKeys() {
    const QList<quint64> known = game_->OtherWindows();
    if (!game_->OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}))
        return std::nullopt;
    x_.Keys({QStringLiteral("Cyrillic_be")});
    return WaitForChooser(known);
}

std::optional<QRect> E2eFixture::ChooserRect(quint64 chooser) {
    const auto info = x_.Window(chooser);
    if (!info)
        return std::nullopt;
    return info->client;
}

bool E2eFixture::ChooseAssorted(quint64 chooser) {
    const auto rect = ChooserRect(chooser);
    if (!rect)
        return false;
    x_.Click(rect->topLeft() + kAssortedBox);
    x_.Click(rect->topLeft() + kChooserOk);
    return game_->WaitUntilGone(chooser, kWindowTimeoutMs);
}

std::optional<Position> E2eFixture::ReadPosition(const ClientShot& shot) const {
    Position position{};
    for (int cell = 1; cell <= kCells; ++cell) {
        if (shot.IsEmpty(cell))
            continue; // 0 marks the empty cell
        const Recognition seen = backs_.Recognise(shot.Cell(cell));
        if (seen.picture < 0)
            return std::nullopt;
        position[cell - 1] = seen.picture + 1;
    }
    if (!IsWellFormed(position))
        return std::nullopt;
    return position;
}

bool E2eFixture::WaitForPosition(const Position& expected, int timeoutMs) {
    const ClientShot shot = game_->WaitForShot(
        [&](const ClientShot& s) { return ReadPosition(s) == expected; }, timeoutMs);
    return !shot.IsNull();
}

std::optional<Position> E2eFixture::DealSolvable(int maxDeals) {
    ClientShot shot = game_->Shot();
    for (int deal = 0; deal < maxDeals; ++deal) {
        shot = NewGameByF2(shot);
        if (shot.IsNull())
            return std::nullopt;
        const auto position = ReadPosition(shot);
        if (!position)
            return std::nullopt;
        if (IsSolvable(*position))
            return position;
    }
    return std::nullopt;
}

void E2eFixture::ClickCells(const std::vector<int>& cells, std::size_t from, std::size_t to) {
    QStringList commands;
    for (std::size_t i = from; i < to; ++i) {
        const QPoint at = game_->CellCentre(cells[i]);
        commands << QStringLiteral("mousemove") << QString::number(at.x())
                 << QString::number(at.y()) << QStringLiteral("sleep") << QStringLiteral("0.03")
                 << QStringLiteral("click") << QStringLiteral("1") << QStringLiteral("sleep")
                 << QStringLiteral("0.05");
    }
    x_.Xdotool(commands);
}

QString E2eFixture::PlayToWin() {
    if (NewGameByF2().IsNull())
        return QStringLiteral("F2 dealt no board");
    // The tick may be set already without the tiles showing it (a cancelled chooser keeps
    // it); a second click then sets it for good.
    const auto assorted = [this](const ClientShot& shot) { return ReadPosition(shot).has_value(); };
    for (int attempt = 0; !assorted(game_->Shot()); ++attempt) {
        if (attempt == 2)
            return QStringLiteral("the tiles do not take the \"Ассорти\" backs");
        const auto chooser = OpenChooserByKeys();
        if (!chooser || !ChooseAssorted(*chooser))
            return QStringLiteral("\"Ассорти\" could not be chosen");
        game_->WaitForShot(assorted, kMoveTimeoutMs);
    }
    const auto start = DealSolvable(kMaxDeals);
    if (!start)
        return QStringLiteral("no solvable deal could be read from the board");
    if (!ClickModeByKeys())
        return QStringLiteral("click mode could not be chosen");
    const auto solution = Solve(*start);
    if (!solution || solution->empty())
        return QStringLiteral("the solver found no way");

    Position expected = *start;
    const std::size_t last = solution->size() - 1;
    for (std::size_t i = 0; i < last; i += kMovesPerCheck) {
        const std::size_t end = std::min(last, i + kMovesPerCheck);
        ClickCells(*solution, i, end);
        for (std::size_t k = i; k < end; ++k)
            expected = AfterMove(expected, (*solution)[k]);
        if (!WaitForPosition(expected, kMoveTimeoutMs))
            return QStringLiteral("the board did not follow the clicks up to move %1").arg(end);
    }
    ClickCells(*solution, last, solution->size());
    return {};
}

std::optional<quint64> E2eFixture::WaitForTitled(const QString& pattern, int timeoutMs) {
    std::optional<quint64> found;
    const bool appeared = PollUntil(
        [&] {
            for (const quint64 window : game_->WindowsTitled(pattern))
                if (window != game_->MainWindow()) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return appeared ? found : std::nullopt;
}

} // namespace e2e
