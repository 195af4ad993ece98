#include "deck/mediabytes.h"

#include "base/filename.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volaro::deck {

MediaBytes::~MediaBytes() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::shared_ptr<const MediaBytes> MediaBytes::openFile(const QString& path, Error* error) {
    Error dummy;
    Error& err = error ? *error : dummy;
    err = Error::None;
    const QByteArray native = base::fileNameBytes(path);
    // Non-blocking so that a FIFO or a device cannot hold us up; only regular files pass.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        err = errno == ENOENT || errno == ENOTDIR ? Error::Missing : Error::Unreadable;
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        err = Error::NotAFile;
        return nullptr;
    }
    if (st.st_size <= 0) {
        ::close(fd);
        err = Error::Empty;
        return nullptr;
    }
    std::shared_ptr<MediaBytes> m(new MediaBytes);
    m->m_fd = fd;
    m->m_size = static_cast<int64_t>(st.st_size);
    return m;
}

std::shared_ptr<const MediaBytes> MediaBytes::copyOf(const uint8_t* data, std::size_t size) {
    std::shared_ptr<MediaBytes> m(new MediaBytes);
    m->m_copy.assign(data, data + size);
    m->m_size = static_cast<int64_t>(size);
    return m;
}

int64_t MediaBytes::read(int64_t offset, void* out, int64_t count) const {
    if (offset < 0 || offset >= m_size || count <= 0)
        return 0;
    count = std::min(count, m_size - offset);
    if (m_fd < 0) {
        std::memcpy(out, m_copy.data() + offset, static_cast<std::size_t>(count));
        return count;
    }
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, static_cast<char*>(out) + done,
                                  static_cast<std::size_t>(count - done), offset + done);
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            break; // the file ends earlier than it did, or cannot be read
    }
    return done;
}

MediaReader::MediaReader(std::shared_ptr<const MediaBytes> bytes, int64_t start)
    : m_bytes(std::move(bytes)) {
    const int64_t total = m_bytes ? m_bytes->size() : 0;
    m_start = std::clamp<int64_t>(start, 0, total);
    m_size = total - m_start;
}

bool MediaReader::fill(int64_t position, int64_t count, int64_t most) {
    if (!m_window)
        m_window.reset(new uint8_t[WindowBytes]);
    // Small reads first (a header may be all that is wanted), growing while the reads go
    // on forward through the file.
    const bool forward = position >= m_windowAt && position <= m_windowAt + m_windowLength;
    m_readAhead = forward ? std::min<int64_t>(m_readAhead * 2, most) : FirstReadBytes;
    const int64_t want = std::min(std::max(count, m_readAhead), m_size - position);
    m_windowAt = position;
    m_windowLength = std::max<int64_t>(0, m_bytes->read(m_start + position, m_window.get(), want));
    if (m_windowLength < want)
        m_cut = true;
    return m_windowLength >= count;
}

const uint8_t* MediaReader::peek(int64_t position, int count) {
    if (position < 0 || count <= 0 || count > WindowBytes / 2 || position + count > m_size)
        return nullptr;
    if (position < m_windowAt || position + count > m_windowAt + m_windowLength) {
        if (!fill(position, count, WindowBytes))
            return nullptr;
    }
    return m_window.get() + (position - m_windowAt);
}

int64_t MediaReader::read(void* out, int64_t count) {
    if (count <= 0 || m_pos >= m_size)
        return 0;
    count = std::min(count, m_size - m_pos);
    int64_t got = 0;
    if (count >= WindowBytes / 2) {
        // Large reads (whole frames of PCM, a big tag) go straight to the caller.
        got = m_bytes->read(m_start + m_pos, out, count);
        if (got < count)
            m_cut = true;
    } else {
        if (m_pos < m_windowAt || m_pos + count > m_windowAt + m_windowLength)
            fill(m_pos, count, PlayReadBytes);
        const int64_t in = m_windowAt + m_windowLength - m_pos;
        got = std::clamp<int64_t>(in, 0, count);
        if (got > 0)
            std::memcpy(out, m_window.get() + (m_pos - m_windowAt), static_cast<std::size_t>(got));
    }
    m_pos += got;
    return got;
}

int64_t MediaReader::seek(int64_t offset, int whence) {
    int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = m_pos;
        break;
    case SEEK_END:
        base = m_size;
        break;
    default:
        return -1;
    }
    // Refuse overflowing or negative targets rather than wrapping.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return -1;
    m_pos = base + offset;
    return m_pos;
}

} // namespace volaro::deck
