// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "e2efixture.h"
#include "gamerun.h"

#include <QProcessEnvironment>
#include <QString>

namespace robust {

// The game built with AddressSanitizer and UndefinedBehaviorSanitizer in a build tree of its
// own (the robustness_sanitized_build test makes it), how it is started and what it reports.
class SanitizedGame {
public:
    static QString Program();
    // Stop at the first error, look for leaks at exit, print stacks; the third-party leaks
    // named in the suppressions file are left out.
    static QProcessEnvironment Environment();
    // Starts it as the fixture's game: empty when its window came up, otherwise why not.
    static QString Start(e2e::E2eFixture& fixture);

    // The first sanitizer report in the game's output so far, with the stack that follows it;
    // empty when there is none.
    static QString Report(const e2e::GameRun& game);
    // Waits for the game to end: empty when it ended with status 0 and reported nothing,
    // otherwise what happened.
    static QString ExpectCleanExit(e2e::GameRun& game, int timeoutMs);
    // The end of the game's output, for failure messages.
    static QString OutputTail(const e2e::GameRun& game);
};

} // namespace robust
