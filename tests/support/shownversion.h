// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "version.h"

#include <QString>

// The version as the about box shows it, taken from the version record so that a new version
// changes no test: the three numbers in decimal without leading zeros ("2.2.21"), never the
// zero-padded file version ("2.02.0021") and never the build number.
inline QString ShownVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(version::Major)
        .arg(version::Minor)
        .arg(version::Revision);
}

// The about box's title: "О программе ", the quoted product name, " v" and the version.
inline QString AboutTitle() {
    return QStringLiteral("О программе \"Сдвигуль\" v") + ShownVersion();
}
