// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: decoding the bytes of a help file, with and without the cut-at-limit flag.
// The first input byte steers: bit 0 the cut flag, bits 1-2 a byte-order mark put in front,
// bit 3 a short break length of 1..16 characters (bits 4-7) instead of the game's own, which
// inputs of a few kilobytes never reach; bits 4-7 also pick how much of a multi-byte
// character the cut check keeps.
#include "displaycheck.h"
#include "helpfile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

QByteArray ByteOrderMark(int kind) {
    switch (kind) {
    case 1:
        return QByteArrayLiteral("\xEF\xBB\xBF");
    case 2:
        return QByteArrayLiteral("\xFF\xFE");
    case 3:
        return QByteArrayLiteral("\xFE\xFF");
    default:
        return {};
    }
}

// The UTF-8 form of a character above U+007F made from three input bytes: 2 to 4 bytes.
QByteArray MultiByteCharacter(const std::uint8_t* seed) {
    char32_t code = 0x80 + ((seed[0] << 16) | (seed[1] << 8) | seed[2]) % (0x110000 - 0x80);
    if (code >= 0xD800 && code <= 0xDFFF) {
        code -= 0x800; // surrogates have no UTF-8 form
    }
    // Not through QString::fromUcs4, which would take U+FEFF for a byte-order mark and drop it.
    return QStringView(QChar::fromUcs4(code)).toUtf8();
}

bool IsUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// A file cut by the size limit inside a multi-byte character shows as the text before that
// character: no replacement character and no other-encoding garbage at its end. Checked for
// BOM-marked UTF-8 whatever the rest holds, and for unmarked text that is UTF-8 up to the cut.
void CheckCutCharacterDropped(const QByteArray& bom, const QByteArray& head,
                              const std::uint8_t* seed, int keepChoice, qsizetype lineLength) {
    if (!(bom == "\xEF\xBB\xBF" || (bom.isEmpty() && IsUtf8(head)))) {
        return;
    }
    const QByteArray character = MultiByteCharacter(seed);
    const QByteArray cutPart = character.left(1 + keepChoice % (character.size() - 1));
    Require(help::DecodeHelpText(bom + head + cutPart, true, lineLength) ==
                help::DecodeHelpText(bom + head, false, lineLength),
            "a character cut at the limit left a trace");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t steer = data[0];
    const bool cut = (steer & 1) != 0;
    const QByteArray bom = ByteOrderMark((steer >> 1) & 3);
    const qsizetype lineLength = (steer & 8) != 0 ? 1 + (steer >> 4) : help::kMaxLineLength;
    const QByteArray body(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    const QString shown = help::DecodeHelpText(bom + body, cut, lineLength);
    CheckDisplayable(shown, lineLength);
    if (lineLength != help::kMaxLineLength) {
        // Breaking a line only adds line feeds.
        Require(QString(shown).remove(u'\n') == help::DecodeHelpText(bom + body, cut).remove(u'\n'),
                "a line break changed the text");
    }
    if (size >= 4) {
        const QByteArray head(reinterpret_cast<const char*>(data + 4),
                              static_cast<qsizetype>(size - 4));
        CheckCutCharacterDropped(bom, head, data + 1, steer >> 4, lineLength);
    }
    return 0;
}
