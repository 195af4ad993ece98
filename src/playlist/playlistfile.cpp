#include "playlistfile.h"

#include "cliplistmodel.h"
#include "cliplistview.h"
#include "songrecord.h"

#include <QFile>
#include <QSaveFile>
#include <sys/stat.h>

QString GetExtension(const QString& Filename) {
    return Filename.size() < 3 ? QString() : Filename.right(3);
}

void OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListModel& list,
              ListProgress* progress) {
    if (GetExtension(Filename).toUpper() == QLatin1String("M3U"))
        LoadPlayList(Filename, ClearList, list, progress); // always appended at the end
    else
        AddFileToList(Filename, InsertPos, list);
}

void OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListView& list,
              ListProgress* progress) {
    OpenFile(Filename, ClearList, InsertPos, list.clipModel(), progress);
}

namespace {

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

bool LoadPlayList(const QString& Filename, bool ClearList, ClipListModel& list,
                  ListProgress* progress) {
    // Only regular files: opening a FIFO or device named like a list would block.
    struct stat info {};
    if (::stat(QFile::encodeName(Filename).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    QFile file(Filename);
    // Opening first: a list that cannot be opened must not cost the user the playlist.
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (ClearList)
        list.clear(); // a bound CurrentIndex becomes 0

    const qint64 length = file.size();
    qint64 characters = 1; // counted from one, so a full file can show 100
    qint64 lines = 0;
    auto onLine = [&](const QByteArray& bytes) {
        ++lines;
        const QString line = QString::fromLocal8Bit(bytes);
        if (!line.startsWith(QLatin1Char('#')))
            AddFileToList(line, list.count() + 1, list);
        characters += line.size();
        if (progress) {
            if (length > 0)
                progress->setProgress(
                    static_cast<int>(std::min<qint64>(100, characters * 100 / length)));
            progress->setStatusText(QString::number(lines));
        }
    };

    LineSplitter splitter;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    bool first = true;
    for (;;) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0)
            return false; // a failed read ends the reading where it is
        if (got == 0)
            break;
        qsizetype skip = 0;
        if (first && got >= 3 && buffer.startsWith("\xEF\xBB\xBF"))
            skip = 3; // a UTF-8 byte-order mark (editors add one) is not part of the first line
        first = false;
        splitter.feed(buffer.constData() + skip, got - skip, onLine);
    }
    splitter.finish(onLine);
    file.close();
    if (progress) {
        progress->setProgress(0);
        progress->showWebAddress();
    }
    return true;
}

bool LoadPlayList(const QString& Filename, bool ClearList, ClipListView& list,
                  ListProgress* progress) {
    return LoadPlayList(Filename, ClearList, list.clipModel(), progress);
}

QString SavePlayList(const QString& Filename, const ClipListModel& list) {
    if (Filename.isEmpty())
        return QStringLiteral("No file name was given.");
    // Written beside the target and renamed over it, so a failure never leaves the user's
    // existing list truncated.
    QSaveFile file(Filename);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QByteArray out;
    for (int i = 1; i <= list.count(); ++i) {
        out += list.text(i, ClipListModel::ColLocation).toLocal8Bit();
        out += "\r\n";
        if (out.size() >= (1 << 16)) {
            if (file.write(out) != out.size()) {
                const QString why = file.errorString();
                file.cancelWriting();
                return why;
            }
            out.clear();
        }
    }
    if (!out.isEmpty() && file.write(out) != out.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString SavePlayList(const QString& Filename, const ClipListView& list) {
    return SavePlayList(Filename, list.clipModel());
}
