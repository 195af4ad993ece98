#include "playlist/tagreader.h"

#include "base/filename.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/wavfile.h>
#include <unistd.h>

namespace volaro::playlist {

namespace {
QString toQString(const TagLib::String& s) {
    if (s.isEmpty())
        return {};
    // TagLib decodes Latin-1, UTF-16 and UTF-8 frames itself; hand the text over as UTF-8.
    const std::string utf8 = s.to8Bit(true);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// An ID3v2 tag starts within as much junk as the decoder skips before the first frame.
bool id3v2NearTheStart(TagLib::IOStream& stream) {
    constexpr unsigned int DecoderJunkLimit = 65536;
    stream.seek(0);
    const bool found = stream.readBlock(DecoderJunkLimit).find("ID3") >= 0;
    stream.seek(0);
    return found;
}

// The content picks the kind of file, as it picks the decoder; the name does not. Each
// kind is recognised from its first kilobyte or so (after a leading ID3v2 tag), which also
// keeps TagLib from searching a file that is no song from end to end for a tag.
TagLib::FileRef openByContent(TagLib::IOStream& stream) {
    // Before FileRef, which would take a WAV holding MPEG frames for an MPEG file.
    if (TagLib::RIFF::WAV::File::isSupported(&stream))
        return TagLib::FileRef(new TagLib::RIFF::WAV::File(&stream, false));
    // No audio properties: they cost a scan of the file and the tag is all we need.
    TagLib::FileRef ref(&stream, false);
    // TagLib looks for frames only just after a leading tag; a tag with junk around it is
    // still read, as long as the search for it stays short.
    if (ref.isNull() && id3v2NearTheStart(stream))
        return TagLib::FileRef(
            new TagLib::MPEG::File(&stream, TagLib::ID3v2::FrameFactory::instance(), false));
    return ref;
}

// A read-only stream over a file descriptor that holds the file's first and last 64 KiB,
// where tags live, in memory and reads the rest with pread. TagLib seeks back and forth
// among small reads while it recognises a file; through stdio each seek dropped the
// buffer and read the same blocks again.
class HeadTailStream final : public TagLib::IOStream {
public:
    HeadTailStream(int fd, long size)
        : m_fd(fd)
        , m_size(size) {
        m_head = readAt(0, std::min(size, Window));
        const long tailStart = std::max(long(m_head.size()), size - Window);
        m_tailStart = tailStart;
        m_tail = readAt(tailStart, size - tailStart);
    }
    ~HeadTailStream() override { ::close(m_fd); }

    TagLib::FileName name() const override { return ""; }
    TagLib::ByteVector readBlock(unsigned long length) override {
        const long n = long(std::min<unsigned long>(length, std::max(0L, m_size - m_pos)));
        TagLib::ByteVector out;
        if (m_pos + n <= long(m_head.size()))
            out = m_head.mid(unsigned(m_pos), unsigned(n));
        else if (m_pos >= m_tailStart && m_pos - m_tailStart + n <= long(m_tail.size()))
            out = m_tail.mid(unsigned(m_pos - m_tailStart), unsigned(n));
        else
            out = readAt(m_pos, n);
        m_pos += long(out.size());
        return out;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position p) override {
        const long from = p == Beginning ? 0 : p == Current ? m_pos : m_size;
        m_pos = std::max(0L, from + offset);
    }
    long tell() const override { return m_pos; }
    long length() override { return m_size; }
    void truncate(long) override {}

private:
    static constexpr long Window = 64 * 1024;
    TagLib::ByteVector readAt(long offset, long n) const {
        TagLib::ByteVector bytes(static_cast<unsigned int>(std::max(0L, n)), 0);
        const ssize_t got = n > 0 ? ::pread(m_fd, bytes.data(), size_t(n), offset) : 0;
        bytes.resize(static_cast<unsigned int>(std::max<ssize_t>(0, got)));
        return bytes;
    }

    int m_fd;
    long m_size;
    long m_pos = 0;
    long m_tailStart = 0;
    TagLib::ByteVector m_head;
    TagLib::ByteVector m_tail;
};
} // namespace

void TagReader::setFilename(const QString& path) {
    m_path = path;
    clearDetails();
}

void TagReader::clearDetails() {
    m_album.clear();
    m_artist.clear();
    m_comment.clear();
    m_title.clear();
    m_year.clear();
    m_genre.clear();
    m_albumArtist.clear();
    m_disc = m_track = m_tracks = 0;
}

bool TagReader::ReadTag() {
    clearDetails();
    if (m_path.isEmpty())
        return false;
    // Non-blocking, and only regular files: a FIFO or a device named like a song must not
    // hold the reader up.
    const int fd =
        ::open(base::fileNameBytes(m_path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    HeadTailStream stream(fd, static_cast<long>(info.st_size)); // closes the descriptor
    return readFrom(stream);
}

bool TagReader::readTagFromBytes(const char* data, std::size_t size) {
    clearDetails();
    TagLib::ByteVector bytes(data, static_cast<unsigned int>(size));
    TagLib::ByteVectorStream stream(bytes);
    return readFrom(stream);
}

bool TagReader::readFrom(TagLib::IOStream& stream) {
    const TagLib::FileRef file = openByContent(stream);
    if (file.isNull())
        return false;
    bool found = false;
    if (const TagLib::Tag* tag = file.tag()) {
        // The file's own dictionary: a tag seen through the common interface (FLAC's,
        // MP3's union of tags) lists only what that interface knows.
        fillEmpty(*tag, file.file()->properties());
        found = !tag->isEmpty();
    }
    // TagLib's WAV tag is the ID3v2 chunk only; a RIFF INFO list fills what it lacks.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file()); wav && wav->hasInfoTag()) {
        fillEmpty(*wav->InfoTag(), wav->InfoTag()->properties());
        found = found || !wav->InfoTag()->isEmpty();
    }
    return found;
}

void TagReader::fillEmpty(const TagLib::Tag& tag, const TagLib::PropertyMap& properties) {
    auto fill = [](QString& field, const TagLib::String& value) {
        if (field.isEmpty())
            field = toQString(value);
    };
    fill(m_album, tag.album());
    fill(m_artist, tag.artist());
    fill(m_comment, tag.comment());
    fill(m_title, tag.title());
    if (m_year.isEmpty() && tag.year() != 0)
        m_year = QString::number(tag.year());
    fill(m_genre, tag.genre());
    // The place on the album lives in fields the common interface leaves out.
    const auto first = [&](const char* key) {
        const auto it = properties.find(key);
        return it == properties.end() || it->second.isEmpty() ? QString()
                                                              : toQString(it->second.front());
    };
    const auto number = [](const QString& text, int part) { // "3", or 3 and 12 of "3/12"
        bool ok = false;
        const int n = text.section(QLatin1Char('/'), part, part).trimmed().toInt(&ok);
        return ok && n > 0 && n < 32768 ? n : 0;
    };
    if (m_albumArtist.isEmpty())
        m_albumArtist = first("ALBUMARTIST");
    if (m_disc == 0)
        m_disc = number(first("DISCNUMBER"), 0);
    if (m_track == 0) {
        const QString track = first("TRACKNUMBER");
        m_track = number(track, 0);
        m_tracks = number(track, 1);
        if (m_tracks == 0)
            m_tracks = number(first("TRACKTOTAL"), 0);
    }
}

} // namespace volaro::playlist
