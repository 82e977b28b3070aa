// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"

#include <QTest>

// How long one whole master tick takes: labels, the move, the hint repaint and the win
// check, and the repainting of the window that follows.
class BenchTick : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }
    void masterTickWithRepaint_data();
    void masterTickWithRepaint();
};

void BenchTick::masterTickWithRepaint_data() {
    QTest::addColumn<bool>("hint");
    QTest::newRow("hint off") << false;
    QTest::newRow("hint on") << true;
}

void BenchTick::masterTickWithRepaint() {
    QFETCH(bool, hint);
    FakeClock clock;
    board::ClockMixedRandom random(clock, 77);
    frmGame game(clock, random);
    game.show();
    QVERIFY(QTest::qWaitForWindowExposed(&game));
    game.mnuGame_Click(0);
    if (hint)
        game.mnuGame_Click(4);
    game.mnuGame_Click(7);
    game.Timer(2)->stop(); // ticks come from the benchmark loop only
    QBENCHMARK {
        game.tmr_Timer(2);
        QCoreApplication::sendPostedEvents(); // the tiles' queued checks for a new look
        game.repaint();
    }
}

QTEST_MAIN(BenchTick)
#include "bench_tick.moc"
