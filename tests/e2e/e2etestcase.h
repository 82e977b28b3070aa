// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "e2efixture.h"

#include <QObject>
#include <QTest>

namespace e2e {

// The frame of every real-window test program: one X session for the program, a fresh game
// for each case, and the case's game stopped (with its last screenshot kept on failure) after.
class E2eTestCase : public QObject {
    Q_OBJECT

protected:
    // The game each case plays; the robustness tests start the sanitized build instead.
    virtual QString StartCaseGame() { return f_.StartGame(); }
    // Runs after a case, before its game is stopped.
    virtual void BeforeFinish() {}

    E2eFixture f_;

private slots:
    void initTestCase() {
        const QString error = f_.StartSession();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void init() {
        const QString error = StartCaseGame();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanup() {
        BeforeFinish();
        const QString problem = f_.FinishCase();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

} // namespace e2e
