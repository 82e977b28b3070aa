// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace help {
namespace {

const QString kHelpFileName = QStringLiteral("help.txt");

bool IsHelpFileName(const QString& name) {
    return name.compare(kHelpFileName, Qt::CaseInsensitive) == 0;
}

// stat() follows symbolic links, so a link counts as what it points to; a dangling link fails.
bool IsRegularFile(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The exact lower-case name first, the rest in a fixed order so the choice never depends on
// the order the file system lists them in.
void SortByPreference(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const bool aExact = a == kHelpFileName;
        const bool bExact = b == kHelpFileName;
        if (aExact != bExact) {
            return aExact;
        }
        return a < b;
    });
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int get() const { return fd_; }

private:
    int fd_;
};

// One read() that retries when a signal interrupts it. Returns the byte count or -1.
qint64 ReadSome(int fd, char* buffer, qint64 size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, static_cast<size_t>(size));
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

// Reads until end of file or `limit` bytes; nullopt on a read error.
std::optional<QByteArray> ReadUpTo(int fd, qint64 limit) {
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray data;
    while (data.size() < limit) {
        const qsizetype filled = data.size();
        const qint64 want = std::min(kChunk, limit - filled);
        data.resize(filled + want);
        const qint64 got = ReadSome(fd, data.data() + filled, want);
        if (got < 0) {
            return std::nullopt;
        }
        data.resize(filled + got);
        if (got == 0) {
            break;
        }
    }
    return data;
}

// True when the file has at least one more byte; nullopt on a read error.
std::optional<bool> HasMoreData(int fd) {
    char probe = 0;
    const qint64 got = ReadSome(fd, &probe, 1);
    if (got < 0) {
        return std::nullopt;
    }
    return got > 0;
}

enum class Utf8Shape {
    Valid,     // the whole buffer is well-formed UTF-8
    CutAtEnd,  // well-formed except for the start of a character at the very end
    Malformed, // not UTF-8
};

struct Utf8Scan {
    Utf8Shape shape;
    qsizetype completeLength; // bytes before the cut character (CutAtEnd) or the whole size
};

// Checks well-formedness as Unicode defines it: no overlong forms, no surrogates, nothing
// above U+10FFFF. `lowest`/`highest` bound the first continuation byte, which is what rules
// those out; later continuation bytes are always 0x80..0xBF.
Utf8Scan ScanUtf8(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    while (pos < size) {
        const uchar lead = data[pos];
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        int length = 0;
        uchar lowest = 0x80;
        uchar highest = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            lowest = lead == 0xE0 ? 0xA0 : 0x80;
            highest = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            lowest = lead == 0xF0 ? 0x90 : 0x80;
            highest = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return {Utf8Shape::Malformed, pos};
        }
        for (int k = 1; k < length; ++k) {
            if (pos + k == size) {
                return {Utf8Shape::CutAtEnd, pos};
            }
            const uchar next = data[pos + k];
            const uchar low = k == 1 ? lowest : 0x80;
            const uchar high = k == 1 ? highest : 0xBF;
            if (next < low || next > high) {
                return {Utf8Shape::Malformed, pos};
            }
        }
        pos += length;
    }
    return {Utf8Shape::Valid, size};
}

// Where a character cut off at the end starts (its lead byte is among the last three bytes),
// or the size when the end is whole. Looks at the end only, so malformed bytes earlier on do
// not hide the cut.
qsizetype CutCharacterStart(const QByteArray& bytes) {
    const qsizetype size = bytes.size();
    for (qsizetype pos = size - 1; pos >= 0 && pos >= size - 3; --pos) {
        const auto byte = static_cast<uchar>(bytes[pos]);
        if (byte < 0x80 || byte > 0xBF) { // not a continuation byte: the last character's lead
            return ScanUtf8(bytes.mid(pos)).shape == Utf8Shape::CutAtEnd ? pos : size;
        }
    }
    return size;
}

// UTF-8 after a BOM: trust the mark; malformed bytes become U+FFFD.
QString DecodeMarkedUtf8(const QByteArray& bytes, bool cutAtLimit) {
    return QString::fromUtf8(cutAtLimit ? bytes.left(CutCharacterStart(bytes)) : bytes);
}

QString DecodeUtf16(const QByteArray& bytes, bool bigEndian, bool cutAtLimit) {
    const auto* in = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype units = bytes.size() / 2; // an odd last byte is half a unit: dropped
    QString text(units, Qt::Uninitialized);
    char16_t* const out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < units; ++i) {
        const uchar* unit = in + 2 * i;
        out[i] = bigEndian ? qFromBigEndian<quint16>(unit) : qFromLittleEndian<quint16>(unit);
    }
    if (cutAtLimit && units > 0 && QChar::isHighSurrogate(out[units - 1])) {
        text.chop(1); // the other half of the pair lies past the limit
    }
    return text;
}

// Windows-1251, 0x80..0xBF; 0x98 has no character. 0xC0..0xFF are А..я in alphabet order.
constexpr char16_t kWindows1251From0x80[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

char16_t Windows1251ToUnicode(uchar byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte < 0xC0) {
        return kWindows1251From0x80[byte - 0x80];
    }
    return static_cast<char16_t>(0x0410 + (byte - 0xC0));
}

QString DecodeWindows1251(const QByteArray& bytes) {
    const auto* in = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    QString text(size, Qt::Uninitialized);
    char16_t* const out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size; ++i) {
        out[i] = Windows1251ToUnicode(in[i]);
    }
    return text;
}

QString DecodeUnmarked(const QByteArray& bytes, bool cutAtLimit) {
    const Utf8Scan scan = ScanUtf8(bytes);
    if (scan.shape == Utf8Shape::Valid) {
        return QString::fromUtf8(bytes);
    }
    if (scan.shape == Utf8Shape::CutAtEnd && cutAtLimit) {
        return QString::fromUtf8(bytes.left(scan.completeLength));
    }
    return DecodeWindows1251(bytes);
}

// Control characters (apart from tab and line feed) make no sense in a help text and some,
// NUL above all, upset the text widget; a binary file must show as harmless garbage.
bool IsHiddenControl(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}

// CR LF and lone CR become LF; hidden controls and unpaired surrogates become U+FFFD; a line
// that reaches `lineLength` characters (a surrogate pair is one) goes on after a line feed.
// Works on the raw UTF-16 units into a buffer sized for the worst case: a help file may hold a
// million characters, and a QString append per character costs several times the rest.
QString CleanForDisplay(const QString& decoded, qsizetype lineLength) {
    const auto* const in = reinterpret_cast<const char16_t*>(decoded.constData());
    const qsizetype size = decoded.size();
    // Each unit gives at most one unit; the breaks add at most one per `lineLength` units.
    QString text(size + size / lineLength + 1, Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = start;
    qsizetype column = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i];
        if (c == u'\r' || c == u'\n') {
            *out++ = u'\n';
            column = 0;
            if (c == u'\r' && i + 1 < size && in[i + 1] == u'\n') {
                ++i;
            }
            continue;
        }
        if (column >= lineLength) {
            *out++ = u'\n';
            column = 0;
        }
        ++column;
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) {
            *out++ = c; // a pair is copied whole, so a break never splits it
            *out++ = in[++i];
        } else if (QChar::isSurrogate(c) || IsHiddenControl(c)) {
            *out++ = u'\uFFFD';
        } else {
            *out++ = c;
        }
    }
    text.truncate(out - start);
    return text;
}

QString DecodeRaw(const QByteArray& bytes, bool cutAtLimit) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return DecodeMarkedUtf8(bytes.mid(3), cutAtLimit);
    }
    if (bytes.startsWith("\xFF\xFE")) {
        return DecodeUtf16(bytes.mid(2), false, cutAtLimit);
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return DecodeUtf16(bytes.mid(2), true, cutAtLimit);
    }
    return DecodeUnmarked(bytes, cutAtLimit);
}

} // namespace

std::optional<QString> FindHelpFile(const QString& directory) {
    const QDir dir(directory);
    // System brings in links (dangling ones too) and special files; each is checked below.
    QStringList names = dir.entryList(QDir::Files | QDir::System, QDir::NoSort);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !IsHelpFileName(name); }),
                names.end());
    SortByPreference(names);
    for (const QString& name : std::as_const(names)) {
        const QString path = dir.filePath(name);
        if (IsRegularFile(path)) {
            return path;
        }
    }
    return std::nullopt;
}

std::optional<HelpText> ReadHelpFile(const QString& path, qint64 maxBytes) {
    // O_NONBLOCK: if a FIFO or device took the file's place since it was found, opening it
    // must not wait for a writer. fstat on the open descriptor then decides what was opened.
    // Windows has no FIFOs in the file system, and its C library would turn CR LF into LF
    // and stop at a Ctrl+Z unless the file is read as bytes.
#ifdef Q_OS_WIN
    constexpr int kOpenFlags = O_RDONLY | O_BINARY;
#else
    constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
#endif
    const FileDescriptor file(::open(QFile::encodeName(path).constData(), kOpenFlags));
    if (!file.isOpen()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = ReadUpTo(file.get(), std::max<qint64>(maxBytes, 0));
    if (!bytes) {
        return std::nullopt;
    }
    bool truncated = false;
    if (bytes->size() >= maxBytes) {
        const std::optional<bool> more = HasMoreData(file.get());
        if (!more) {
            return std::nullopt;
        }
        truncated = *more;
    }
    return HelpText{QFileInfo(path).fileName(), DecodeHelpText(*bytes, truncated), truncated};
}

void StartDetached(const QString& commandLine) {
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return;
    const QString program = arguments.takeFirst();
    QProcess::startDetached(program, arguments);
}

std::optional<HelpText> LoadHelp(const QString& directory) {
    const std::optional<QString> path = FindHelpFile(directory);
    if (!path) {
        return std::nullopt;
    }
    return ReadHelpFile(*path);
}

QString DecodeHelpText(const QByteArray& bytes, bool cutAtLimit, qsizetype maxLineLength) {
    return CleanForDisplay(DecodeRaw(bytes, cutAtLimit), std::max<qsizetype>(maxLineLength, 1));
}

} // namespace help
