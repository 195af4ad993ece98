#include "deck/decoder.h"

#include "deck/ffmpegdecoder.h"
#include "deck/mpegscan.h"

#include <algorithm>
#include <cstring>
#include <mpg123.h>
#include <mutex>
#include <optional>
#include <sndfile.h>
#include <vector>

namespace volaro::deck {
namespace {

// Rates outside this range come from damaged headers; nothing downstream can play them.
constexpr int MinRate = 1000;
constexpr int MaxRate = 768000;
constexpr int MaxChannels = 64;

// ---- libmpg123 ----------------------------------------------------------------------

mpg123_ssize_t mpgRead(void* handle, void* out, size_t count) {
    return static_cast<mpg123_ssize_t>(
        static_cast<MediaReader*>(handle)->read(out, static_cast<int64_t>(count)));
}

off_t mpgSeek(void* handle, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<MediaReader*>(handle)->seek(offset, whence));
}

class MpegDecoder final : public Decoder {
public:
    ~MpegDecoder() override {
        if (m_handle) {
            mpg123_close(m_handle);
            mpg123_delete(m_handle);
        }
    }

    bool open(std::shared_ptr<const MediaBytes> bytes) {
        static std::once_flag initOnce;
        std::call_once(initOnce, [] { mpg123_init(); });
        m_kind = Kind::Mpeg;
        // libmpg123 would search the whole file for a RIFF data chunk or an unbounded
        // run of tags; it starts at the first frame we found within its own limits.
        MediaReader probe(bytes);
        const int64_t start = findFirstMpegFrame(probe).start;
        if (start < 0)
            return false;
        m_reader.emplace(bytes, start);
        int err = MPG123_OK;
        m_handle = mpg123_new(nullptr, &err);
        if (!m_handle)
            return false;
        // Gapless trimming from the LAME header makes lengths exact; a second stream glued
        // onto the first would make them wrong, so decoding stops there.
        mpg123_param(m_handle, MPG123_ADD_FLAGS,
                     MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN, 0.0);
        mpg123_format_none(m_handle);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(m_handle, mpgRead, mpgSeek, nullptr) != MPG123_OK ||
            mpg123_open_handle(m_handle, &*m_reader) != MPG123_OK)
            return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK)
            return false;
        if (rate < MinRate || rate > MaxRate || channels < 1 || channels > 2)
            return false;
        m_rate = static_cast<int>(rate);
        m_channels = channels;
        // A LAME/Info header gives the exact length (frames, delay and padding). Without
        // one (no header, or a bare Xing one) the frame headers are counted.
        long encoderDelay = -1;
        double unused = 0;
        if (mpg123_getstate(m_handle, MPG123_ENC_DELAY, &encoderDelay, &unused) == MPG123_OK &&
            encoderDelay >= 0) {
            const off_t length = mpg123_length(m_handle);
            m_length = length > 0 ? static_cast<int64_t>(length) : 0;
            if (!truncatedBelowHeader())
                return true;
            // The file ends long before its header says: count what is there, less the
            // delay the decoder trims at the start.
            MediaReader walk(bytes);
            const MpegScan scan = scanMpegFrames(walk);
            long decoderDelay = 0;
            mpg123_getstate(m_handle, MPG123_DEC_DELAY, &decoderDelay, &unused);
            m_length =
                std::max<int64_t>(0, std::min<int64_t>(m_length, scan.samples - encoderDelay -
                                                                     std::max(0L, decoderDelay)));
            return true;
        }
        MediaReader walk(bytes);
        const MpegScan scan = scanMpegFrames(walk);
        if (scan.ok && scan.sampleRate == m_rate) {
            m_length = scan.samples;
            return true;
        }
        if (mpg123_scan(m_handle) != MPG123_OK)
            return false;
        const off_t length = mpg123_length(m_handle);
        m_length = length > 0 ? static_cast<int64_t>(length) : 0;
        return true;
    }

    // The header's frame count cannot fit in the file even at the lowest bit rate.
    bool truncatedBelowHeader() {
        const off_t frames = mpg123_framelength(m_handle);
        mpg123_frameinfo2 info{};
        if (frames <= 0 || mpg123_info2(m_handle, &info) != MPG123_OK)
            return false;
        // 32 kbit/s for MPEG 1, 8 kbit/s for MPEG 2 and 2.5.
        const double minBitsPerSecond = info.version == MPG123_1_0 ? 32000 : 8000;
        const double samplesPerFrame = static_cast<double>(mpg123_spf(m_handle));
        const double seconds = static_cast<double>(frames) * samplesPerFrame / m_rate;
        return seconds * minBitsPerSecond / 8 > static_cast<double>(m_reader->size());
    }

protected:
    long decode(float* out, long maxFrames) override {
        if (m_ended || maxFrames <= 0)
            return 0;
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(m_channels);
        // mpg123 may hand back nothing for a while (headers, resync); give up after a bound.
        for (int attempt = 0; attempt < 64; ++attempt) {
            size_t done = 0;
            const int ret = mpg123_read(m_handle, reinterpret_cast<unsigned char*>(out),
                                        static_cast<size_t>(maxFrames) * frameBytes, &done);
            if (done > 0) {
                // Where libmpg123 gave up (junk it could not resynchronise over) the song
                // ends, as the length was measured; called again it would search on.
                m_ended = ret != MPG123_OK && ret != MPG123_NEW_FORMAT;
                return static_cast<long>(done / frameBytes);
            }
            if (ret == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(m_handle, &rate, &channels, &encoding);
                if (rate != m_rate || channels != m_channels)
                    break; // a stream that changes format mid-way ends there
                continue;
            }
            if (ret != MPG123_OK)
                break;
        }
        m_ended = true;
        return 0;
    }

    bool seekTo(int64_t frame) override {
        m_ended = false;
        return mpg123_seek(m_handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

    bool sourceCut() const override { return m_reader && m_reader->cut(); }

private:
    mpg123_handle* m_handle = nullptr;
    std::optional<MediaReader> m_reader;
    bool m_ended = false;
};

// ---- libsndfile ---------------------------------------------------------------------

sf_count_t sfLength(void* handle) {
    return static_cast<MediaReader*>(handle)->size();
}

sf_count_t sfSeek(sf_count_t offset, int whence, void* handle) {
    return static_cast<MediaReader*>(handle)->seek(offset, whence);
}

sf_count_t sfRead(void* out, sf_count_t count, void* handle) {
    return static_cast<MediaReader*>(handle)->read(out, count);
}

sf_count_t sfWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t sfTell(void* handle) {
    return static_cast<MediaReader*>(handle)->tell();
}

// Where libsndfile's channel map puts a channel.
Speaker speakerOf(int sfChannel) {
    switch (sfChannel) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
        return Speaker::FrontLeft;
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
        return Speaker::FrontRight;
    case SF_CHANNEL_MAP_MONO:
    case SF_CHANNEL_MAP_CENTER:
    case SF_CHANNEL_MAP_FRONT_CENTER:
        return Speaker::FrontCenter;
    case SF_CHANNEL_MAP_LFE:
        return Speaker::LowFrequency;
    case SF_CHANNEL_MAP_REAR_LEFT:
        return Speaker::BackLeft;
    case SF_CHANNEL_MAP_REAR_RIGHT:
        return Speaker::BackRight;
    case SF_CHANNEL_MAP_REAR_CENTER:
        return Speaker::BackCenter;
    case SF_CHANNEL_MAP_SIDE_LEFT:
        return Speaker::SideLeft;
    case SF_CHANNEL_MAP_SIDE_RIGHT:
        return Speaker::SideRight;
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
        return Speaker::FrontLeftOfCenter;
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
        return Speaker::FrontRightOfCenter;
    default:
        return Speaker::Other;
    }
}

class SndfileDecoder final : public Decoder {
public:
    explicit SndfileDecoder(std::shared_ptr<const MediaBytes> bytes)
        : m_reader(std::move(bytes)) {}

    ~SndfileDecoder() override {
        if (m_file)
            sf_close(m_file);
    }

    // False also for MPEG audio, which libsndfile may read but the MPEG decoder measures
    // exactly.
    bool open() {
        m_kind = Kind::Sndfile;
        SF_VIRTUAL_IO io{sfLength, sfSeek, sfRead, sfWrite, sfTell};
        SF_INFO info{};
        m_file = sf_open_virtual(&io, SFM_READ, &info, &m_reader);
        if (!m_file)
            return false;
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG)
            return false;
        if (info.samplerate < MinRate || info.samplerate > MaxRate || info.channels < 1 ||
            info.channels > MaxChannels || info.frames < 0)
            return false;
        m_rate = info.samplerate;
        m_channels = info.channels;
        m_length = info.frames;
        readLayout();
        if (m_length == SF_COUNT_MAX)
            return countFrames();
        return true;
    }

protected:
    long decode(float* out, long maxFrames) override {
        if (maxFrames <= 0)
            return 0;
        const sf_count_t n = sf_readf_float(m_file, out, maxFrames);
        return n > 0 ? static_cast<long>(n) : 0;
    }

    bool seekTo(int64_t frame) override { return sf_seek(m_file, frame, SEEK_SET) >= 0; }

    bool sourceCut() const override { return m_reader.cut(); }

private:
    // The positions a WAVE extensible, CAF or AIFF header names; none for the rest.
    void readLayout() {
        std::vector<int> map(static_cast<size_t>(m_channels));
        if (!sf_command(m_file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                        static_cast<int>(map.size() * sizeof(int))))
            return;
        for (int m : map)
            m_layout.push_back(speakerOf(m));
    }

    // For streams whose header does not say how long they are. Counting decodes them, so
    // it stops after a bounded amount of the file: a stream that long with no length in
    // its header is refused rather than freezing whoever opens it.
    bool countFrames() {
        constexpr int64_t MaxCountedBytes = int64_t(64) << 20; // some 6 minutes of CD audio
        std::vector<float> buf(4096 * static_cast<size_t>(m_channels));
        int64_t total = 0;
        for (sf_count_t n; (n = sf_readf_float(m_file, buf.data(), 4096)) > 0;) {
            total += n;
            if (m_reader.tell() > MaxCountedBytes)
                return false;
        }
        m_length = total;
        return sf_seek(m_file, 0, SEEK_SET) == 0;
    }

    MediaReader m_reader;
    SNDFILE* m_file = nullptr;
};

// Ogg Opus: libsndfile reads it too, FFmpeg faster at the same exactness.
bool looksLikeOggOpus(const MediaBytes& bytes) {
    uint8_t d[36] = {};
    return bytes.read(0, d, 36) == 36 && std::memcmp(d, "OggS", 4) == 0 &&
           std::memcmp(d + 28, "OpusHead", 8) == 0;
}

bool looksLikeMpeg(const MediaBytes& bytes) {
    uint8_t d[3] = {};
    const int64_t n = bytes.read(0, d, 3);
    if (n >= 3 && std::memcmp(d, "ID3", 3) == 0)
        return true;
    // A frame sync at the very start: 11 set bits, layer bits not 00.
    return n >= 2 && d[0] == 0xFF && (d[1] & 0xE0) == 0xE0 && (d[1] & 0x06) != 0;
}

} // namespace

long Decoder::read(float* out, long maxFrames) {
    if (maxFrames <= 0)
        return 0;
    if (!m_silence) {
        const long n = decode(out, maxFrames);
        if (n > 0) {
            m_next += n;
            return n;
        }
        if (!sourceCut())
            return 0;
        m_silence = true;
    }
    const int64_t n = std::min<int64_t>(maxFrames, m_length - m_next);
    if (n <= 0)
        return 0;
    std::fill_n(out, n * m_channels, 0.0f);
    m_next += n;
    return static_cast<long>(n);
}

bool Decoder::seek(int64_t frame) {
    const bool ok = seekTo(frame);
    m_next = frame;
    // Where the data is gone the decoder may not find its place again.
    m_silence = !ok && sourceCut();
    return ok;
}

std::unique_ptr<Decoder> Decoder::open(std::shared_ptr<const MediaBytes> bytes) {
    if (!bytes || bytes->size() == 0)
        return nullptr;
    auto tryMpeg = [&]() -> std::unique_ptr<Decoder> {
        auto d = std::make_unique<MpegDecoder>();
        return d->open(bytes) ? std::move(d) : nullptr;
    };
    auto trySndfile = [&]() -> std::unique_ptr<Decoder> {
        auto d = std::make_unique<SndfileDecoder>(bytes);
        return d->open() ? std::move(d) : nullptr;
    };
    std::unique_ptr<Decoder> d;
    // FFmpeg comes before the MPEG decoder's search for frames, which could find false
    // frame syncs in the packets of an MP4 or ASF file.
    if (looksLikeOggOpus(*bytes))
        d = openFfmpeg(bytes);
    if (!d && looksLikeMpeg(*bytes)) {
        if (!(d = tryMpeg()) && !(d = trySndfile()))
            d = openFfmpeg(bytes);
    } else if (!d && !(d = trySndfile()) && !(d = openFfmpeg(bytes))) {
        d = tryMpeg();
    }
    if (d && d->m_layout.size() != static_cast<size_t>(d->m_channels))
        d->m_layout = defaultLayout(d->m_channels);
    return d;
}

} // namespace volaro::deck
