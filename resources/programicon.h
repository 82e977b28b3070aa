// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QSize>
#include <QString>

namespace res {

// The program's icon in every size it is drawn in: 16 and 32 px as 16-colour pixel art, 48 to
// 256 px smooth. Qt picks the best one for each place and screen density (title bar, task
// switcher, the about box), so nothing is blown up from a small picture.
inline QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/sdvigul-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace res
