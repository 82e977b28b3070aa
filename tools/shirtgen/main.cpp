// SPDX-License-Identifier: GPL-3.0-or-later
// shirtgen: draws the tile-back pictures and the program icons and writes
// them as PNG files under a resource directory.
//
//   shirtgen RESOURCE_DIR           write shirts/*.png (48 px and @2x) and icons/*.png
//   shirtgen --check RESOURCE_DIR   read them back and verify them

#include "check.h"
#include "icons.h"
#include "indexedpng.h"
#include "shirts.h"

#include <QDir>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {

using namespace shirtgen;

bool makeDirectory(const QString& path) {
    if (QDir().mkpath(path))
        return true;
    std::fprintf(stderr, "shirtgen: cannot create %s\n", qPrintable(path));
    return false;
}

bool writeShirts(const QString& directory) {
    if (!makeDirectory(directory))
        return false;
    for (const int scale : shirtScales) {
        for (int index = 0; index < shirtCount; ++index) {
            const QString path = directory + QLatin1Char('/') + shirtFileName(index, scale);
            if (!savePng(makeShirt(index, scale), path))
                return false;
        }
    }
    return true;
}

bool writeIcons(const QString& directory) {
    if (!makeDirectory(directory))
        return false;
    const auto iconPath = [&directory](int size) {
        return directory + QStringLiteral("/sdvigul-%1.png").arg(size);
    };
    for (const int size : pixelArtIconSizes) {
        if (!savePng(makeProgramIcon(size), iconPath(size)))
            return false;
    }
    for (const int size : smoothIconSizes) {
        if (!savePng(makeProgramIcon(size), iconPath(size)))
            return false;
    }
    return savePng(makeAboutPicture(), directory + QLatin1String("/about-layout-32.png"));
}

int usage() {
    std::fprintf(stderr, "usage: shirtgen RESOURCE_DIR\n"
                         "       shirtgen --check RESOURCE_DIR\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
        return checkResources(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 2 || argv[1][0] == '-')
        return usage();

    const QString resourceDir = QString::fromLocal8Bit(argv[1]);
    const bool written = writeShirts(resourceDir + QLatin1String("/shirts")) &&
                         writeIcons(resourceDir + QLatin1String("/icons"));
    return written ? 0 : 1;
}
