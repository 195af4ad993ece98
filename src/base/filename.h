#pragma once

// File names as the file system has them. A Linux name is bytes; Qt reads them as UTF-8
// and turns every byte that is not UTF-8 into U+FFFD, so a file from an old Latin-1 rip
// could be neither opened nor listed. Here such a byte b (0x80..0xFF) becomes the lone
// surrogate U+DC00 + b instead, a code unit no decoded text holds, so the name goes back
// to the very same bytes; readableName() shows those bytes as Windows-1252 for the eye.
//
// Every path handed to the system goes through fileNameBytes(); every name taken from it
// (a directory entry, an argument, a file URL) through fileNameFromBytes(). QFile and
// QFileInfo are fine for names that are UTF-8 only.

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace volaro::base {

// Windows-1252 is Latin-1 except in 0x80..0x9F; the five bytes it leaves undefined stay the
// C1 controls of the same value, as Windows reads them.
inline constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline QChar windows1252(unsigned char b) {
    return QChar(b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b));
}

namespace detail {

// Length of the valid UTF-8 sequence starting at s[i]; 0 when there is none.
inline int utf8SequenceAt(QByteArrayView s, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    const int n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || s.size() - i < n)
        return 0;
    char32_t cp = lead & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
        if ((at(k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(k) & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    return overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : n;
}

inline bool isEscapeAt(QStringView name, qsizetype i) {
    const char16_t c = name[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && !(i > 0 && name[i - 1].isHighSurrogate());
}

} // namespace detail

inline QString fileNameFromBytes(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        if (const int n = detail::utf8SequenceAt(bytes, i)) {
            name += QString::fromUtf8(bytes.sliced(i, n));
            i += n;
        } else {
            name += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[i++])));
        }
    }
    return name;
}

inline QByteArray fileNameBytes(QStringView name) {
    QByteArray bytes;
    qsizetype done = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!detail::isEscapeAt(name, i))
            continue;
        bytes += name.sliced(done, i - done).toUtf8();
        bytes += char(name[i].unicode() - 0xDC00);
        done = i + 1;
    }
    return bytes + name.sliced(done).toUtf8();
}

// True when the name holds bytes that are not UTF-8.
inline bool hasForeignBytes(QStringView name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (detail::isEscapeAt(name, i))
            return true;
    return false;
}

// The name as shown: its bytes that are not UTF-8 read as Windows-1252, the code page such
// names were mostly written in.
inline QString readableName(QString name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (detail::isEscapeAt(name, i))
            name[i] = windows1252(static_cast<unsigned char>(name[i].unicode() - 0xDC00));
    return name;
}

// A file URL of an absolute path, its bytes percent-encoded, so that any name survives.
inline QUrl fileUrl(QStringView absolutePath) {
    return QUrl::fromEncoded("file://" + fileNameBytes(absolutePath).toPercentEncoding("/"));
}

// The local path a file URL names, byte for byte; empty when it names none here.
inline QString localPathOf(const QUrl& url) {
    const QString host = url.host();
    if (!url.isLocalFile() || !(host.isEmpty() || host == u"localhost"))
        return {};
    return fileNameFromBytes(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

} // namespace volaro::base
