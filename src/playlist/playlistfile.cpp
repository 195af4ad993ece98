#include "playlist/playlistfile.h"

#include "base/atomicfile.h"
#include "playlist/cliplistmodel.h"
#include "playlist/cliplistview.h"
#include "playlist/songrecord.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace volaro::playlist {

void ListProgress::showOutcome(int notAdded) const {
    if (notAdded > 0 && setStatusText)
        setStatusText(NotAddedNotice(notAdded));
    else if (notAdded <= 0 && showWebAddress)
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

// Runs one of the progress hooks, when there is a progress and it set that hook.
template <class Hook, class... Args>
void tell(const ListProgress* progress, Hook ListProgress::*hook, Args&&... args) {
    if (progress && progress->*hook)
        (progress->*hook)(std::forward<Args>(args)...);
}

enum class ListKind { None, M3u, M3u8 };

ListKind listKind(const QString& Filename) {
    if (GetExtension(Filename).toUpper() == QLatin1String("M3U"))
        return ListKind::M3u;
    if (Filename.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
        return ListKind::M3u8;
    return ListKind::None;
}

// Text of one line: UTF-8, or for old lists Windows-1252 when the bytes are no valid UTF-8
// (raw() then gives the bytes as a file name, for when that names no file). In a .m3u8 they
// are such a file name. Byte-order marks starting a line are dropped: editors put
// one at the start of a file, and lists joined together carry them into the middle.
class LineDecoder {
public:
    explicit LineDecoder(bool utf8Only)
        : m_utf8Only(utf8Only) {}
    QString operator()(QByteArrayView bytes) {
        while (bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        m_foreign = !bytes.isValidUtf8();
        m_bytes = bytes;
        if (!m_foreign || m_utf8Only)
            return base::fileNameFromBytes(bytes);
        QString text(bytes.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            text[i] = base::windows1252(static_cast<unsigned char>(bytes[i]));
        return text;
    }
    // The last line as a file name, when it was read as Windows-1252.
    std::optional<QString> raw() const {
        return m_foreign && !m_utf8Only ? std::optional(base::fileNameFromBytes(m_bytes))
                                        : std::nullopt;
    }

private:
    QByteArrayView m_bytes;
    bool m_foreign = false;
    bool m_utf8Only;
};

// The local path of a file URI (file:///path, file://localhost/path, file:/path, and the
// file:relative/path we write for relative names), its escapes taken as the bytes of the
// name. Other hosts, and a NUL, leave it as written.
std::optional<QString> localPathOfFileUri(const QString& entry) {
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
    } else if (rest.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray bytes = QByteArray::fromPercentEncoding(base::fileNameBytes(rest));
    if (bytes.contains('\0'))
        return std::nullopt;
    return base::fileNameFromBytes(bytes);
}

// The path an entry names when it names an existing file (not a folder), relative ones
// taken from the list's folder; empty when it names none.
QString existingFile(const QString& entry, const QString& listFolder) {
    const QString path = entry.startsWith(u'/') ? entry : listFolder + u'/' + entry;
    struct stat info {};
    auto isFile = [&info](const QString& p) {
        return ::stat(base::fileNameBytes(p).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
    };
    if (!isFile(path))
        return {};
    // "a/../b" is shortened when it names the same place (through a link it may not).
    const QString clean = QDir::cleanPath(path);
    return entry.startsWith(u'/') || (clean != path && !isFile(clean)) ? path : clean;
}

// Where an entry of a list points, read as the program that wrote it meant it; the entry as
// written when that finds nothing (it then fails to play like any missing file).
QString resolveEntry(const QString& entry, const QString& listFolder) {
    if (entry.isEmpty())
        return entry;
    // Other URIs and drive-letter paths name nothing here and stay as written.
    const QString path = localPathOfFileUri(entry).value_or(entry);
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
             const ListProgress* progress) {
    if (listKind(Filename) != ListKind::None)
        return LoadPlayList(Filename, ClearList, list, progress).notAdded; // appended at the end
    const int before = list.count();
    AddFileToList(Filename, InsertPos, list);
    return list.count() == before ? 1 : 0;
}

ListRead LoadPlayList(const QString& Filename, bool ClearList, ClipListModel& list,
                      const ListProgress* progress) {
    // Only regular files: opening a FIFO or device named like a list would block.
    const int fd = base::openRegularFile(Filename);
    QFile file;
    // Opening first: a list that cannot be opened must not cost the user the playlist.
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    if (ClearList)
        list.clear(); // a bound CurrentIndex becomes 0
    return ReadPlayList(file, QFileInfo(Filename).absolutePath(),
                        listKind(Filename) == ListKind::M3u8, list, progress);
}

ListRead ReadPlayList(QIODevice& device, const QString& listFolder, bool utf8Only,
                      ClipListModel& list, const ListProgress* progress) {
    const qint64 length = device.size();
    qint64 characters = 1; // counted from one, so a full file can show 100
    qint64 lines = 0;
    ListRead result;
    LineDecoder decode(utf8Only);
    // Rows go in in batches: one insertion for many rows, and between two batches the
    // window answers, however many songs the list holds and however slow their tags.
    QList<ClipRow> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    bool stopped = false;
    const auto addBatch = [&] {
        list.appendRows(std::exchange(batch, {}));
        tell(progress, &ListProgress::letWindowAnswer);
        stopped = progress && progress->stopped && progress->stopped();
        sinceBatch.restart();
    };
    auto onLine = [&](const QByteArray& bytes) {
        if (stopped)
            return;
        ++lines;
        const QString line = decode(bytes);
        if (!line.startsWith(QLatin1Char('#'))) {
            QString entry = resolveEntry(line, listFolder);
            // Unless Windows-1252 names a file, the line is a name by its bytes (as another
            // program here wrote it, or as it must be saved back).
            if (const auto raw = decode.raw(); raw && existingFile(entry, listFolder).isEmpty())
                entry = resolveEntry(*raw, listFolder);
            if (list.count() + batch.size() >= ClipListModel::MaxRows)
                ++result.notAdded;
            else
                batch.append(SongRecord(entry));
        }
        characters += line.size();
        if (progress) {
            if (length > 0)
                tell(progress, &ListProgress::setProgress,
                     static_cast<int>(std::min<qint64>(100, characters * 100 / length)));
            tell(progress, &ListProgress::setStatusText, QString::number(lines));
        }
        if (sinceBatch.elapsed() >= ListProgress::BatchMs)
            addBatch();
    };

    LineSplitter splitter;
    // Reads of up to 64 KiB; a small list needs no more than its size.
    QByteArray buffer(std::clamp<qint64>(length + 1, 1, 1 << 16), Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(buffer.data(), buffer.size());
        if (got <= 0) {
            list.appendRows(std::exchange(batch, {}));
            if (got < 0)
                return result; // a failed read ends the reading where it is
            break;
        }
        splitter.feed(buffer.constData(), got, onLine);
        if (stopped)
            return result;
    }
    splitter.finish(onLine);
    list.appendRows(std::exchange(batch, {}));
    result.complete = true;
    if (progress) {
        tell(progress, &ListProgress::setProgress, 0);
        progress->showOutcome(result.notAdded);
    }
    return result;
}

QByteArray PlayListText(const ClipListModel& list) {
    QByteArray out;
    for (int i = 1; i <= list.count(); ++i) {
        const QString location = list.text(i, ClipListModel::ColLocation);
        // A name with a line break or bytes that are not UTF-8, or one that would read back
        // as something else, goes as a file URI of its bytes; every other one as it is.
        if (base::hasForeignBytes(location) || location.contains(u'\n') ||
            location.contains(u'\r') || location.startsWith(u'#') ||
            location.startsWith(QChar(0xFEFF)) ||
            location.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            out += (location.startsWith(u'/') ? "file://" : "file:") +
                   base::fileNameBytes(location).toPercentEncoding("/");
        else
            out += location.toUtf8();
        out += "\r\n";
    }
    return out;
}

QString SavePlayList(const QString& Filename, const ClipListModel& list) {
    // Written beside the target and renamed over it, so a failure never leaves the user's
    // existing list truncated.
    return base::writeFileAtomically(Filename, PlayListText(list));
}

} // namespace volaro::playlist
