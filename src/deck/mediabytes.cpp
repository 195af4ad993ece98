#include "mediabytes.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volaro::deck {

MediaBytes::~MediaBytes() {
    if (m_mapped)
        munmap(const_cast<uint8_t*>(m_data), m_size);
}

std::shared_ptr<const MediaBytes> MediaBytes::mapFile(const QString& path, Error* error) {
    Error dummy;
    Error& err = error ? *error : dummy;
    err = Error::None;
    const QByteArray native = QFile::encodeName(path);
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
    void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file alive
    if (p == MAP_FAILED) {
        err = Error::Unreadable;
        return nullptr;
    }
    std::shared_ptr<MediaBytes> m(new MediaBytes);
    m->m_data = static_cast<const uint8_t*>(p);
    m->m_size = static_cast<std::size_t>(st.st_size);
    m->m_mapped = true;
    return m;
}

void MediaBytes::prefault() const {
#ifdef MADV_POPULATE_READ
    if (m_mapped)
        madvise(const_cast<uint8_t*>(m_data), m_size, MADV_POPULATE_READ);
#endif
}

std::shared_ptr<const MediaBytes> MediaBytes::copyOf(const uint8_t* data, std::size_t size) {
    std::shared_ptr<MediaBytes> m(new MediaBytes);
    m->m_copy.assign(data, data + size);
    m->m_data = m->m_copy.data();
    m->m_size = size;
    return m;
}

int64_t MemoryReader::read(void* out, int64_t count) {
    if (count <= 0 || pos >= size())
        return 0;
    const int64_t n = std::min(count, size() - pos);
    std::memcpy(out, bytes->data() + pos, static_cast<std::size_t>(n));
    pos += n;
    return n;
}

int64_t MemoryReader::seek(int64_t offset, int whence) {
    int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = pos;
        break;
    case SEEK_END:
        base = size();
        break;
    default:
        return -1;
    }
    // Refuse overflowing or negative targets rather than wrapping.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return -1;
    pos = base + offset;
    return pos;
}

} // namespace volaro::deck
