#include "playlist/playlistfile.h"

#include "playlist/cliplistmodel.h"
#include "playlist/cliplistview.h"
#include "playlist/songrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace volaro::playlist {

void ListProgress::showOutcome(int notAdded) {
    if (notAdded > 0)
        setStatusText(NotAddedNotice(notAdded));
    else
        showWebAddress();
}

QString NotAddedNotice(int notAdded) {
    const QLocale english(QLocale::English);
    return (notAdded == 1
                ? QStringLiteral("1 entry was not added")
                : english.toString(notAdded) + QStringLiteral(" entries were not added")) +
           QStringLiteral(": a list holds at most ") + english.toString(ClipListModel::MaxRows) +
           QStringLiteral(" songs");
}

QString GetExtension(const QString& Filename) {
    return Filename.size() < 3 ? QString() : Filename.right(3);
}

namespace {

enum class ListKind { None, M3u, M3u8 };

ListKind listKind(const QString& Filename) {
    if (GetExtension(Filename).toUpper() == QLatin1String("M3U"))
        return ListKind::M3u;
    if (Filename.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
        return ListKind::M3u8;
    return ListKind::None;
}

// Windows-1252 is Latin-1 except in 0x80..0x9F; the five bytes it leaves undefined stay the
// C1 controls of the same value, as Windows reads them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Text of one line (or one percent-decoded path): UTF-8, or for old lists Windows-1252 when
// the bytes are no valid UTF-8. Invalid UTF-8 in a .m3u8 shows as replacement characters.
// Byte-order marks starting a line are dropped: editors put one at the start of a file, and
// lists joined together carry them into the middle.
class LineDecoder {
public:
    explicit LineDecoder(bool utf8Only)
        : m_utf8Only(utf8Only) {}
    QString operator()(QByteArrayView bytes) {
        while (bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        m_utf8.resetState();
        QString text = m_utf8(bytes);
        if (m_utf8Only || !m_utf8.hasError())
            return text;
        text.resize(bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            text[i] = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
        }
        return text;
    }

private:
    QStringDecoder m_utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    bool m_utf8Only;
};

// The local path of a file URI (file:///path, file://localhost/path, file:/path). Other
// hosts, and escapes that would put a line break or NUL into the path, leave it as written.
std::optional<QString> localPathOfFileUri(const QString& entry, LineDecoder& decode) {
    if (!entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return std::nullopt;
    QStringView rest = QStringView(entry).mid(5);
    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(u'/');
        const QStringView host = rest.left(slash);
        if (slash < 0 || !(host.isEmpty() || host.compare(u"localhost", Qt::CaseInsensitive) == 0))
            return std::nullopt;
        rest = rest.mid(slash);
    } else if (!rest.startsWith(u'/')) {
        return std::nullopt;
    }
    const QString path = decode(QByteArray::fromPercentEncoding(rest.toUtf8()));
    for (const QChar c : path)
        if (c == u'\0' || c == u'\r' || c == u'\n')
            return std::nullopt;
    return path;
}

// The path an entry names when it names an existing file (not a folder), relative ones
// taken from the list's folder; empty when it names none.
QString existingFile(const QString& entry, const QString& listFolder) {
    const QString path = entry.startsWith(u'/') ? entry : listFolder + u'/' + entry;
    struct stat info {};
    auto isFile = [&info](const QString& p) {
        return ::stat(QFile::encodeName(p).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
    };
    if (!isFile(path))
        return {};
    // "a/../b" is shortened when it names the same place (through a link it may not).
    const QString clean = QDir::cleanPath(path);
    return entry.startsWith(u'/') || (clean != path && !isFile(clean)) ? path : clean;
}

// Where an entry of a list points, read as the program that wrote it meant it; the entry as
// written when that finds nothing (it then fails to play like any missing file).
QString resolveEntry(const QString& entry, const QString& listFolder, LineDecoder& decode) {
    if (entry.isEmpty())
        return entry;
    // Other URIs and drive-letter paths name nothing here and stay as written.
    const QString path = localPathOfFileUri(entry, decode).value_or(entry);
    if (!path.startsWith(u'/')) {
        if (QString found = existingFile(path, listFolder); !found.isEmpty())
            return found;
    } else if (!path.contains(u'\\') || existingFile(path, listFolder) == path) {
        return path; // absolute paths are used as written
    }
    if (path.contains(u'\\')) {
        QString slashes = path;
        slashes.replace(u'\\', u'/');
        if (QString found = existingFile(slashes, listFolder); !found.isEmpty())
            return found;
    }
    return path;
}

// Splits bytes into lines ended by CR LF, CR or LF, across chunk borders.
class LineSplitter {
public:
    // Calls onLine(QByteArray) for each complete line in chunk.
    template <typename F> void feed(const char* data, qsizetype size, F&& onLine) {
        qsizetype start = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const char c = data[i];
            if (m_pendingCr) {
                m_pendingCr = false;
                if (c == '\n') {
                    start = i + 1;
                    continue;
                }
            }
            if (c == '\r' || c == '\n') {
                m_partial.append(data + start, i - start);
                onLine(m_partial);
                m_partial.clear();
                m_pendingCr = (c == '\r');
                start = i + 1;
            }
        }
        m_partial.append(data + start, size - start);
    }
    // The last line when the file does not end with a line ending.
    template <typename F> void finish(F&& onLine) {
        if (!m_partial.isEmpty())
            onLine(m_partial);
        m_partial.clear();
    }

private:
    QByteArray m_partial;
    bool m_pendingCr = false;
};

} // namespace

int OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListModel& list,
             ListProgress* progress) {
    if (listKind(Filename) != ListKind::None)
        return LoadPlayList(Filename, ClearList, list, progress).notAdded; // appended at the end
    const int before = list.count();
    AddFileToList(Filename, InsertPos, list);
    return list.count() == before ? 1 : 0;
}

ListRead LoadPlayList(const QString& Filename, bool ClearList, ClipListModel& list,
                      ListProgress* progress) {
    // Only regular files: opening a FIFO or device named like a list would block.
    struct stat info {};
    if (::stat(QFile::encodeName(Filename).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    QFile file(Filename);
    // Opening first: a list that cannot be opened must not cost the user the playlist.
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (ClearList)
        list.clear(); // a bound CurrentIndex becomes 0
    return ReadPlayList(file, QFileInfo(Filename).absolutePath(),
                        listKind(Filename) == ListKind::M3u8, list, progress);
}

ListRead ReadPlayList(QIODevice& device, const QString& listFolder, bool utf8Only,
                      ClipListModel& list, ListProgress* progress) {
    const qint64 length = device.size();
    qint64 characters = 1; // counted from one, so a full file can show 100
    qint64 lines = 0;
    ListRead result;
    LineDecoder decode(utf8Only);
    auto onLine = [&](const QByteArray& bytes) {
        ++lines;
        const QString line = decode(bytes);
        if (!line.startsWith(QLatin1Char('#'))) {
            if (list.count() >= ClipListModel::MaxRows)
                ++result.notAdded;
            else
                AddFileToList(resolveEntry(line, listFolder, decode), list.count() + 1, list);
        }
        characters += line.size();
        if (progress) {
            if (length > 0)
                progress->setProgress(
                    static_cast<int>(std::min<qint64>(100, characters * 100 / length)));
            progress->setStatusText(QString::number(lines));
        }
    };

    LineSplitter splitter;
    // Reads of up to 64 KiB; a small list needs no more than its size.
    QByteArray buffer(std::clamp<qint64>(length + 1, 1, 1 << 16), Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(buffer.data(), buffer.size());
        if (got < 0)
            return result; // a failed read ends the reading where it is
        if (got == 0)
            break;
        splitter.feed(buffer.constData(), got, onLine);
    }
    splitter.finish(onLine);
    result.complete = true;
    if (progress) {
        progress->setProgress(0);
        progress->showOutcome(result.notAdded);
    }
    return result;
}

QByteArray PlayListText(const ClipListModel& list) {
    QByteArray out;
    for (int i = 1; i <= list.count(); ++i) {
        out += list.text(i, ClipListModel::ColLocation).toUtf8();
        out += "\r\n";
    }
    return out;
}

QString SavePlayList(const QString& Filename, const ClipListModel& list) {
    if (Filename.isEmpty())
        return QStringLiteral("No file name was given.");
    // Written beside the target and renamed over it, so a failure never leaves the user's
    // existing list truncated.
    QSaveFile file(Filename);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray out = PlayListText(list);
    if (file.write(out) != out.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace volaro::playlist
