// SPDX-License-Identifier: GPL-3.0-or-later
#include "master.h"
#include "scriptedrandom.h"
#include "shuffle.h"

#include <QTest>

// How long one choice of the move master takes on its own.
class BenchMaster : public QObject {
    Q_OBJECT

private slots:
    void masterMove();
};

void BenchMaster::masterMove() {
    FakeClock clock;
    board::ClockMixedRandom random(clock, 4242);
    board::Board b = board::BoardFromDeal(board::Random(random));
    board::MasterState state;
    QBENCHMARK {
        if (const auto move = board::Master(b, state, random))
            b.Place(move->tile, move->to);
        else
            b = board::BoardFromDeal(board::Random(random));
    }
}

QTEST_APPLESS_MAIN(BenchMaster)
#include "bench_master.moc"
