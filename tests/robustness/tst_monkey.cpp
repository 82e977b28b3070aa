// SPDX-License-Identifier: GPL-3.0-or-later
#include "monkey.h"
#include "sanitizedgame.h"

#include <QRandomGenerator>
#include <QTest>

using namespace e2e;
using robust::Monkey;
using robust::SanitizedGame;

namespace {

constexpr int kDefaultSeconds = 30;
constexpr int kDealTimeoutMs = 5000;
constexpr int kExitTimeoutMs = 30000;
// The monkey switches the master back on whenever it finds it off, most of the time.
constexpr double kMinMasterShare = 0.5;
constexpr int kMinLooks = 20;

// A whole number from the environment; `fallback` when the variable is unset or not a number.
qint64 FromEnvironment(const char* name, qint64 fallback) {
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok ? value : fallback;
}

} // namespace

// Random real input on the sanitized game for SDVIGUL_MONKEY_SECONDS (30 by default); then
// the game must still deal on F2 and end on "Выход" with status 0, with no sanitizer report
// at any point. SDVIGUL_MONKEY_SEED replays a run.
class TestMonkey : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QString error = f_.StartSession();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanup() {
        const QString problem = f_.FinishCase();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void survivesRandomInput();

private:
    E2eFixture f_;
};

void TestMonkey::survivesRandomInput() {
    const auto seed = static_cast<quint32>(
        FromEnvironment("SDVIGUL_MONKEY_SEED", QRandomGenerator::system()->generate()));
    const qint64 seconds = FromEnvironment("SDVIGUL_MONKEY_SECONDS", kDefaultSeconds);
    qInfo("monkey seed %u for %lld s; replay with SDVIGUL_MONKEY_SEED=%u", seed, seconds, seed);

    const QString error = SanitizedGame::Start(f_);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    Monkey monkey(f_, seed);
    const QString problem = monkey.Play(seconds * 1000);
    qInfo("%s", qPrintable(monkey.Summary()));
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("seed %1: %2\nlast actions:\n%3")
                                               .arg(seed)
                                               .arg(problem, monkey.History())));

    // The game still answers: nothing left open, and F2 deals a new board with exactly one
    // empty cell and 15 different tiles, the master stopped.
    const QString left = monkey.CloseEverything();
    QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(left)));
    GameRun& game = f_.Game();
    const ClientShot before = game.Shot();
    f_.X().Keys({QStringLiteral("F2")});
    const ClientShot dealt = game.WaitForShot(
        [&](const ClientShot& shot) {
            return E2eFixture::IsDealt(shot) && shot.TilesDistinct() &&
                   !shot.SamePosition(before) && !shot.TimeValueShown() && !shot.MoveValueShown();
        },
        kDealTimeoutMs);
    QVERIFY2(!dealt.IsNull(),
             qPrintable(QStringLiteral("seed %1: the final F2 dealt no board").arg(seed)));

    // "Выход" by mouse or by keys, whichever the seed says.
    if (seed % 2 == 0) {
        QVERIFY(game.ChooseByMouse(GameRun::kMenuTitleGame, {5}));
    } else {
        QVERIFY(game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_i")}));
        f_.X().Keys({QStringLiteral("Cyrillic_ha")});
    }
    const QString ended = SanitizedGame::ExpectCleanExit(game, kExitTimeoutMs);
    // Qt's warnings, if any, tell of trouble that stopped short of a report.
    qInfo("output of the last game:\n%s", qPrintable(SanitizedGame::OutputTail(game)));
    QVERIFY2(ended.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(ended)));
    // A short run taken up by a win has too few looks to tell.
    if (monkey.DealtLooks() >= kMinLooks)
        QVERIFY2(monkey.MasterShare() >= kMinMasterShare,
                 qPrintable(QStringLiteral("the master ran in only %1% of the looks")
                                .arg(qRound(monkey.MasterShare() * 100))));
}

QTEST_GUILESS_MAIN(TestMonkey)
#include "tst_monkey.moc"
