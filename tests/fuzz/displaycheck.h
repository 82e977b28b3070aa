// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "helpfile.h"

#include <QChar>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Aborts with a message, which libFuzzer reports as a crash together with the input.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "help text check failed: %s\n", what);
        std::abort();
    }
}

// What the help viewer relies on in a decoded text: well-formed UTF-16, no control character
// but tab and line feed, and no line longer than the break length (a surrogate pair is one
// character there).
inline void CheckDisplayable(const QString& text, qsizetype lineLength = help::kMaxLineLength) {
    const QChar* const chars = text.constData();
    const qsizetype size = text.size();
    qsizetype column = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = chars[i];
        if (c == u'\n') {
            column = 0;
            continue;
        }
        if (c.isHighSurrogate()) {
            Require(i + 1 < size && chars[i + 1].isLowSurrogate(), "unpaired high surrogate");
            ++i;
        }
        Require(!c.isLowSurrogate(), "unpaired low surrogate");
        Require(c == u'\t' || c.category() != QChar::Other_Control, "control character");
        Require(++column <= lineLength, "line longer than the break length");
    }
}
