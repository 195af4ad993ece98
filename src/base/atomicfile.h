#pragma once

// Replacing a file atomically: the bytes go to a temporary file beside it, which is renamed
// over the target only when every byte reached the disk. A failure leaves the old file as
// it was.
//
// QSaveFile alone is not enough: on a full disk a small write lands in its buffer and
// commit() (Qt 6.4) can still report success. So the write's count, the flush and the
// device's error are checked before committing.

#include <QSaveFile>
#include <QString>

namespace volaro::base {

// Writes bytes into an open QSaveFile and commits it; on any failure the writing is
// cancelled. Returns empty text, or why it failed.
inline QString commitSaveFile(QSaveFile& file, const QByteArray& bytes) {
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const QString why = file.errorString();
        file.cancelWriting();
        return why;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

// Opens, writes and commits in one step. Returns empty text, or why it failed.
inline QString writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    return commitSaveFile(file, bytes);
}

} // namespace volaro::base
