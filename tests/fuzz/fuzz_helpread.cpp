// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: reading a help file written from the input through the game's own lookup and
// reader, with a small size limit so that cut files are common. The first input byte picks
// the letter case of the file name (bits 0-1) and the limit (bits 2-7: 1..63 bytes, or the
// game's own limit); the rest is the file.
#include "displaycheck.h"
#include "helpfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

const QString kNames[] = {QStringLiteral("help.txt"), QStringLiteral("HELP.TXT"),
                          QStringLiteral("Help.txt"), QStringLiteral("hElP.tXt")};

// One folder for the whole run; each input replaces the file in it.
const QDir& Folder() {
    static const QTemporaryDir temporary;
    static const QDir folder(temporary.path());
    Require(temporary.isValid(), "no temporary folder");
    return folder;
}

void WriteOnly(const QString& name, const QByteArray& bytes) {
    for (const QString& other : kNames) {
        QFile::remove(Folder().filePath(other));
    }
    QFile file(Folder().filePath(name));
    Require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
            "cannot write the help file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QString& name = kNames[data[0] & 3];
    const int limitChoice = data[0] >> 2;
    const qint64 limit = limitChoice == 63 ? help::kMaxHelpBytes : limitChoice + 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    WriteOnly(name, bytes);

    const std::optional<QString> path = help::FindHelpFile(Folder().path());
    Require(path && QFileInfo(*path).fileName() == name, "help file not found");
    const std::optional<help::HelpText> help = help::ReadHelpFile(*path, limit);
    Require(help.has_value(), "help file not read");
    Require(help->fileName == name, "wrong file name");
    // Reading is decoding what fits under the limit, cut when more follows.
    const bool longer = bytes.size() > limit;
    Require(help->truncated == longer, "wrong cut-at-limit flag");
    Require(help->text == help::DecodeHelpText(bytes.left(limit), longer), "text not as decoded");
    CheckDisplayable(help->text);
    return 0;
}
