// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// Finding, reading and decoding the plain-text help file the player can put next to the game.
namespace help {

// The help file is a short text; anything past this many bytes is not read.
inline constexpr qint64 kMaxHelpBytes = 1 << 20;

// Text layout time grows faster than the length of a line: one line of a million characters (a
// file of zeros, say) freezes the text widget for a minute. Longer lines are broken here.
inline constexpr qsizetype kMaxLineLength = 8192;

// Path of the help file in `directory`: a regular file (or a link to one) whose name is
// "help.txt" in any letter case. The exact lower-case name wins when several exist, otherwise
// the lexicographically first name. nullopt when there is none. The game passes its working
// directory here.
std::optional<QString> FindHelpFile(const QString& directory);

struct HelpText {
    QString fileName;       // name of the file as found, without its directory
    QString text;           // decoded text, ready to show
    bool truncated = false; // the file was longer than the byte limit
};

// Reads at most `maxBytes` of `path` and decodes them. Never blocks on a FIFO or device that
// was put in the file's place: nullopt when `path` is not a readable regular file at the moment
// it is opened, or when reading fails.
std::optional<HelpText> ReadHelpFile(const QString& path, qint64 maxBytes = kMaxHelpBytes);

// Starts `commandLine` (a program and its arguments, blank-separated, quotes as a shell
// takes them) in the current directory, in a window of its own, without waiting for it.
// Whether it started is not reported: nothing is done differently when it did not.
void StartDetached(const QString& commandLine);

// FindHelpFile followed by ReadHelpFile; nullopt means "no help file".
std::optional<HelpText> LoadHelp(const QString& directory);

// Turns the bytes of a help file into displayable text: BOM-marked UTF-8/UTF-16, otherwise
// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1251. Line ends become "\n"; control
// characters other than tab and line feed become U+FFFD; lines longer than `maxLineLength`
// characters (at least 1; a surrogate pair counts as one) are broken. `cutAtLimit` says the
// bytes are the head of a longer file, so a multi-byte character cut at the end is dropped
// rather than taken as a sign of another encoding. The game always breaks at kMaxLineLength;
// a short break length lets the fuzz target reach the breaks with short inputs.
QString DecodeHelpText(const QByteArray& bytes, bool cutAtLimit = false,
                       qsizetype maxLineLength = kMaxLineLength);

} // namespace help
