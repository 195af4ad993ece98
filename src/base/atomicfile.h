#pragma once

// Reading and writing the files the player keeps (lists, settings, the analysis cache)
// without trusting what stands at their place or that the disk has room.
//
// Reading opens without blocking and takes regular files only: a FIFO or a device in place
// of one of our files would otherwise hold the reader forever. Writing goes to a new file
// beside the target, checks every write, the flush to disk and the close, and only then
// renames it over the target; a failure removes the new file, keeps the old one and
// returns what the system reported. (QSaveFile buffers small writes and its commit()
// succeeds although their flush failed, which replaced lists and settings by cut files on
// a full disk.)
//
// Threading: any thread; nothing is shared.

#include "base/filename.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volaro::base {

inline QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A descriptor open for reading on the regular file at path, or -1 with errno set (EINVAL
// for a file that is not regular). Blocking again once opened, for ordinary reads.
inline int openRegularFile(const QString& path) {
    const int fd = ::open(fileNameBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Why a path cannot be one of our files: empty when it is a regular file or missing.
inline QString notARegularFile(const QString& path) {
    struct stat st {};
    if (::stat(fileNameBytes(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return S_ISFIFO(st.st_mode)  ? QStringLiteral("it is a named pipe, not a file")
           : S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file")
                                 : QStringLiteral("it is a device or socket, not a file");
}

// Replaces the file at path by bytes, all or nothing. Returns empty text, or why not.
// toDisk: waits until the bytes are on the disk (a cache that may be lost need not).
inline QString writeFileAtomically(const QString& path, QByteArrayView bytes, bool toDisk = true) {
    QByteArray target = fileNameBytes(path);
    if (target.isEmpty())
        return QStringLiteral("No file name was given.");
    // Through a link the file it points to is replaced, as an editor would.
    if (char* real = ::realpath(target.constData(), nullptr)) {
        target = real;
        ::free(real);
    }
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return systemError(EISDIR);
    static std::atomic<unsigned> serial{0};
    const QByteArray temp =
        target + ".new-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(++serial);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemError(errno);
    int error = 0;
    if (existed && ::fchmod(fd, old.st_mode & 07777) != 0)
        error = errno;
    for (qsizetype done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (!error && toDisk && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.constData());
        return systemError(error);
    }
    return {};
}

} // namespace volaro::base
