#pragma once

// MediaBytes: the whole content of a media file as one read-only byte range, either
// memory-mapped from disk (cheap to open, pages come in as the decoder touches them) or
// copied from a buffer (fuzzing, tests). Decoders read through it instead of the file.
//
// Threading: immutable after creation; any thread may read it.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace volaro::deck {

class MediaBytes {
public:
    enum class Error { None, Missing, NotAFile, Unreadable, Empty };

    ~MediaBytes();
    MediaBytes(const MediaBytes&) = delete;
    MediaBytes& operator=(const MediaBytes&) = delete;

    // Null with *error set when the path is missing, a directory, unreadable or empty.
    static std::shared_ptr<const MediaBytes> mapFile(const QString& path, Error* error = nullptr);
    static std::shared_ptr<const MediaBytes> copyOf(const uint8_t* data, std::size_t size);

    // Maps every page at once ahead of a walk over the whole file: much cheaper than
    // taking one page fault after the other. A hint; failure changes nothing.
    void prefault() const;

    const uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    MediaBytes() = default;
    const uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;
    std::vector<uint8_t> m_copy;
};

// A read cursor over MediaBytes with the read/seek/tell calls decoder libraries expect.
struct MemoryReader {
    std::shared_ptr<const MediaBytes> bytes;
    int64_t pos = 0;

    int64_t size() const { return static_cast<int64_t>(bytes->size()); }
    int64_t read(void* out, int64_t count);
    // whence as for lseek; returns the new position or -1.
    int64_t seek(int64_t offset, int whence);
};

} // namespace volaro::deck
