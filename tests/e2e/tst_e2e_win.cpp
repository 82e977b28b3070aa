// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"

#include <QTest>

using namespace e2e;

namespace {

constexpr int kMoveTimeoutMs = 3000;
constexpr int kBoxTimeoutMs = 5000;
constexpr int kDismissWaitMs = 1500;
constexpr int kMovesPerCheck = 8;
constexpr int kMaxDeals = 30;

QString Describe(const Position& position) {
    QStringList rows;
    for (int row = 0; row < kSide; ++row) {
        QStringList cells;
        for (int column = 0; column < kSide; ++column)
            cells << QString::number(position[row * kSide + column]);
        rows << cells.join(QLatin1Char(' '));
    }
    return rows.join(QStringLiteral(" / "));
}

} // namespace

// The way to the congratulation: tiles told apart by their "Ассорти" backs, a solvable deal
// played to the end by real clicks, and both answers to "Еще раз?".
class TestWin : public E2eTestCase {
    Q_OBJECT

private slots:

    void solveAndAnswer_data();
    void solveAndAnswer();
};

void TestWin::solveAndAnswer_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("dismissFirst"); // Esc, Alt+F4 and the window manager's close
    QTest::newRow("Yes deals again") << true << false;
    QTest::newRow("only Yes or No answer it") << true << true;
    QTest::newRow("No ends the game") << false << false;
}

void TestWin::solveAndAnswer() {
    QFETCH(bool, yes);
    QFETCH(bool, dismissFirst);
    GameRun& game = f_.Game();
    XSession& x = f_.X();

    QVERIFY(!f_.NewGameByF2().IsNull());
    const auto chooser = f_.OpenChooserByMouse();
    QVERIFY2(chooser, "the tile-back chooser did not open");
    QVERIFY2(f_.ChooseAssorted(*chooser), "the chooser did not close on OK");
    const auto start = f_.DealSolvable(kMaxDeals);
    QVERIFY2(start, "no solvable deal could be read from the board");
    QVERIFY(f_.ClickModeByKeys());

    const auto solution = Solve(*start);
    QVERIFY(solution && !solution->empty());
    qInfo("solving %s in %zu moves", qPrintable(Describe(*start)), solution->size());
    // All but the last move in groups, each checked on the screen; the last one alone, since
    // the congratulation it brings covers the board.
    Position expected = *start;
    const std::size_t last = solution->size() - 1;
    for (std::size_t i = 0; i < last; i += kMovesPerCheck) {
        const std::size_t end = std::min(last, i + kMovesPerCheck);
        f_.ClickCells(*solution, i, end);
        for (std::size_t k = i; k < end; ++k)
            expected = AfterMove(expected, (*solution)[k]);
        QVERIFY2(f_.WaitForPosition(expected, kMoveTimeoutMs),
                 qPrintable(QStringLiteral("after move %1 the board is not %2")
                                .arg(end)
                                .arg(Describe(expected))));
    }
    QVERIFY(AfterMove(expected, solution->back()) == SolvedPosition());
    f_.ClickCells(*solution, last, solution->size());

    const auto box = f_.WaitForTitled(ExactTitle(QStringLiteral("Поздравляем!")), kBoxTimeoutMs);
    QVERIFY2(box, "no congratulation after the last move");
    // The box opens over the board; moved aside, it lets the solved board be seen.
    QVERIFY(x.Run(QStringLiteral("xdotool"), {QStringLiteral("windowmove"), QString::number(*box),
                                              QStringLiteral("0"), QStringLiteral("0")}));
    QVERIFY2(f_.WaitForPosition(SolvedPosition(), kMoveTimeoutMs), "the board is not solved");
    QVERIFY(x.Activate(*box));

    if (dismissFirst) {
        x.Keys({QStringLiteral("Escape")});
        x.Keys({QStringLiteral("alt+F4")});
        QVERIFY(x.Run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"),
                                                 QStringLiteral("0x%1").arg(*box, 0, 16)}));
        QVERIFY2(!game.WaitForExit(kDismissWaitMs), "the game ended");
        QVERIFY2(game.WindowsTitled(ExactTitle(QStringLiteral("Поздравляем!"))) ==
                     QList<quint64>{*box},
                 "the box was closed");
        QVERIFY(x.Activate(*box));
    }
    if (yes) {
        x.Keys({QStringLiteral("Return")}); // Yes is the default button
        QVERIFY2(game.WaitUntilGone(*box, kBoxTimeoutMs), "the box stayed open");
        const ClientShot dealt = game.WaitForShot(
            [&](const ClientShot& shot) {
                const auto position = f_.ReadPosition(shot);
                return position && *position != SolvedPosition();
            },
            kMoveTimeoutMs);
        QVERIFY2(!dealt.IsNull(), "Yes dealt no new board");
        QVERIFY(game.WindowsTitled(ExactTitle(QStringLiteral("Поздравляем!"))).isEmpty());
    } else {
        // From Yes, the default, over to No; the button texts may be in any language.
        x.Keys({QStringLiteral("Tab"), QStringLiteral("space")});
        const auto status = game.WaitForExit(5000);
        QVERIFY2(status, "the game did not end on No");
        QCOMPARE(*status, 0);
    }
}

QTEST_GUILESS_MAIN(TestWin)
#include "tst_e2e_win.moc"
