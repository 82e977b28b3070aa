// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Verifies the written pictures by reading them back as the game will.

#include <QString>

namespace shirtgen {

// Checks every file under `resourceDir`/shirts and `resourceDir`/icons,
// printing one line per problem. Returns true when nothing is wrong.
bool checkResources(const QString& resourceDir);

} // namespace shirtgen
