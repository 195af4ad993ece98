#pragma once

// MediaBytes: the content of one media file as the decoders read it, through the open
// file's descriptor or from a copy in memory (fuzzing, tests). Reading through the
// descriptor, not a memory map, keeps a file that changes while it plays harmless: one
// cut short is an early end of data instead of a fault, one that grows is read up to its
// size at opening, and one that is deleted stays readable until it is closed.
//
// MediaReader: a cursor over MediaBytes with the read/seek/tell calls decoder libraries
// expect, buffered so that the many small reads of a frame parser cost no system call
// each, and with a window onto the bytes for scanners.
//
// Threading: MediaBytes is immutable and read() keeps no position, so any thread may read
// it. A MediaReader is used by one thread at a time.

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

    // Null with *error set when the path is missing, not a regular file (a directory, a
    // FIFO, a device), unreadable or empty.
    static std::shared_ptr<const MediaBytes> openFile(const QString& path, Error* error = nullptr);
    static std::shared_ptr<const MediaBytes> copyOf(const uint8_t* data, std::size_t size);

    // The size when opened; reads never go beyond it.
    int64_t size() const { return m_size; }
    // Up to count bytes from offset. Fewer at the end, and also when the file has become
    // shorter since it was opened or cannot be read any more.
    int64_t read(int64_t offset, void* out, int64_t count) const;

private:
    MediaBytes() = default;
    int m_fd = -1;
    int64_t m_size = 0;
    std::vector<uint8_t> m_copy;
};

class MediaReader {
public:
    // Position 0 of the reader lies at start in the bytes (e.g. after tags to hide).
    explicit MediaReader(std::shared_ptr<const MediaBytes> bytes, int64_t start = 0);

    int64_t size() const { return m_size; }
    int64_t tell() const { return m_pos; }
    int64_t read(void* out, int64_t count);
    // whence as for lseek; returns the new position or -1.
    int64_t seek(int64_t offset, int whence);

    // count (at most WindowBytes / 2) bytes at position, valid until the next call on this
    // reader; null when fewer than count remain. For scanners that walk the bytes.
    const uint8_t* peek(int64_t position, int count);
    static constexpr int WindowBytes = 128 * 1024;

    // True once a read came back short of the size at opening: the file was cut while in
    // use (or its disk failed). What is missing reads as the end of the data.
    bool cut() const { return m_cut; }

private:
    bool fill(int64_t position, int64_t count, int64_t most);

    std::shared_ptr<const MediaBytes> m_bytes;
    int64_t m_start = 0;
    int64_t m_size = 0;
    int64_t m_pos = 0;
    static constexpr int64_t FirstReadBytes = 4096;
    // Decoding reads ahead less than a scan: what was read stays playable after the file
    // has been cut, and a cut should be heard soon.
    static constexpr int64_t PlayReadBytes = 16 * 1024;
    std::unique_ptr<uint8_t[]> m_window; // bytes from m_windowAt on
    int64_t m_windowAt = 0;
    int64_t m_windowLength = 0;
    int64_t m_readAhead = FirstReadBytes;
    bool m_cut = false;
};

} // namespace volaro::deck
