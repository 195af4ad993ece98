#include "deck/ffmpegdecoder.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
}

namespace volaro::deck {
namespace {

// Demuxers of audio files (and of videos whose sound we play). Lists, manifests and
// references to other files (hls, dash, concat, ...) are not among them.
constexpr const char* AudioDemuxers =
    "mov,ogg,asf,wv,ape,aac,matroska,tta,mpc,mpc8,ac3,eac3,dts,dtshd,caf,flac,wav,w64,aiff,au,"
    "amr,shn,tak,dsf,truehd,mlp,avi";
// Audio decoders only: whatever else a file holds stays undecoded.
constexpr const char* AudioDecoders =
    "aac,aac_fixed,aac_latm,alac,opus,vorbis,wmav1,wmav2,wmapro,wmalossless,wmavoice,wavpack,"
    "ape,flac,tta,mpc7,mpc8,ac3,ac3_fixed,eac3,dca,truehd,mlp,tak,shorten,mp1,mp2,mp3,mp1float,"
    "mp2float,mp3float,amrnb,amrwb,mp4als,dsd_lsbf,dsd_msbf,dsd_lsbf_planar,dsd_msbf_planar,"
    "pcm_u8,pcm_s8,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,"
    "pcm_f32be,pcm_f64le,pcm_f64be,pcm_alaw,pcm_mulaw,adpcm_ima_qt,adpcm_ima_wav,adpcm_ms,"
    "gsm_ms,qdm2,qdmc";
// Containers whose stream duration counts every sample exactly.
constexpr const char* ExactDemuxers = "mov,ogg,wv,ape,tta,flac,caf,aiff,wav,w64,au,dsf";

constexpr int MinRate = 1000;
constexpr int MaxRate = 768000;
constexpr int MaxChannels = 64;
constexpr int ProbeBytes = 1 << 20;
constexpr int64_t OpenReadLimit = int64_t(32) << 20; // headers and the first packets
constexpr int64_t WalkReadLimit = int64_t(1) << 30;  // measuring by packets
constexpr int IoBufferBytes = 32 * 1024;
constexpr int MaxFruitlessPackets = 256; // packets in a row that give no sound: the end

bool listed(const char* names, const char* list) {
    return av_match_list(names, list, ',') > 0;
}

Speaker speakerOf(AVChannel c) {
    switch (c) {
    case AV_CHAN_FRONT_LEFT:
    case AV_CHAN_STEREO_LEFT:
        return Speaker::FrontLeft;
    case AV_CHAN_FRONT_RIGHT:
    case AV_CHAN_STEREO_RIGHT:
        return Speaker::FrontRight;
    case AV_CHAN_FRONT_CENTER:
        return Speaker::FrontCenter;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2:
        return Speaker::LowFrequency;
    case AV_CHAN_BACK_LEFT:
        return Speaker::BackLeft;
    case AV_CHAN_BACK_RIGHT:
        return Speaker::BackRight;
    case AV_CHAN_FRONT_LEFT_OF_CENTER:
    case AV_CHAN_WIDE_LEFT:
        return Speaker::FrontLeftOfCenter;
    case AV_CHAN_FRONT_RIGHT_OF_CENTER:
    case AV_CHAN_WIDE_RIGHT:
        return Speaker::FrontRightOfCenter;
    case AV_CHAN_BACK_CENTER:
        return Speaker::BackCenter;
    case AV_CHAN_SIDE_LEFT:
    case AV_CHAN_SURROUND_DIRECT_LEFT:
        return Speaker::SideLeft;
    case AV_CHAN_SIDE_RIGHT:
    case AV_CHAN_SURROUND_DIRECT_RIGHT:
        return Speaker::SideRight;
    default:
        return Speaker::Other;
    }
}

// frames of a frame's samples as interleaved floats: (sample - offset) * scale.
template <typename T>
void toFloat(const AVFrame* f, bool planar, int channels, float offset, float scale, float* out) {
    const size_t frames = static_cast<size_t>(f->nb_samples);
    if (!planar) {
        const T* in = reinterpret_cast<const T*>(f->extended_data[0]);
        for (size_t i = 0; i < frames * channels; ++i)
            out[i] = (static_cast<float>(in[i]) - offset) * scale;
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const T* in = reinterpret_cast<const T*>(f->extended_data[c]);
        for (size_t i = 0; i < frames; ++i)
            out[i * channels + c] = (static_cast<float>(in[i]) - offset) * scale;
    }
}

// False for a sample format no audio decoder gives.
bool interleave(const AVFrame* f, int channels, float* out) {
    const auto fmt = static_cast<AVSampleFormat>(f->format);
    const bool planar = av_sample_fmt_is_planar(fmt);
    switch (av_get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_U8:
        toFloat<uint8_t>(f, planar, channels, 128.0f, 1.0f / 128, out);
        break;
    case AV_SAMPLE_FMT_S16:
        toFloat<int16_t>(f, planar, channels, 0, 1.0f / 32768, out);
        break;
    case AV_SAMPLE_FMT_S32:
        toFloat<int32_t>(f, planar, channels, 0, 1.0f / 2147483648.0f, out);
        break;
    case AV_SAMPLE_FMT_S64:
        toFloat<int64_t>(f, planar, channels, 0, 1.0f / 9223372036854775808.0f, out);
        break;
    case AV_SAMPLE_FMT_FLT:
        toFloat<float>(f, planar, channels, 0, 1.0f, out);
        break;
    case AV_SAMPLE_FMT_DBL:
        toFloat<double>(f, planar, channels, 0, 1.0f, out);
        break;
    default:
        return false;
    }
    return true;
}

class FfmpegDecoder final : public Decoder {
public:
    explicit FfmpegDecoder(std::shared_ptr<const MediaBytes> bytes)
        : m_reader(std::move(bytes)) {}

    ~FfmpegDecoder() override {
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
        if (m_io)
            av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }

    bool open() {
        static std::once_flag quietOnce;
        std::call_once(quietOnce, [] { av_log_set_level(AV_LOG_QUIET); });
        m_kind = Kind::Ffmpeg;
        m_readLimit = OpenReadLimit;
        auto* buffer = static_cast<uint8_t*>(av_malloc(IoBufferBytes));
        if (!buffer)
            return false;
        m_io = avio_alloc_context(buffer, IoBufferBytes, 0, this, readBytes, nullptr, seekBytes);
        if (!m_io) {
            av_free(buffer);
            return false;
        }
        const AVInputFormat* format = nullptr;
        if (av_probe_input_buffer2(m_io, &format, nullptr, nullptr, 0, ProbeBytes) < 0 || !format ||
            !listed(format->name, AudioDemuxers))
            return false;
        if (!(m_format = avformat_alloc_context()))
            return false;
        m_format->pb = m_io;
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
        m_format->probesize = ProbeBytes;
        m_format->format_probesize = ProbeBytes;
        m_format->max_analyze_duration = 2 * AV_TIME_BASE;
        m_format->io_open = refuseOpen;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", AudioDemuxers, 0);
        av_dict_set(&options, "codec_whitelist", AudioDecoders, 0);
        av_dict_set(&options, "protocol_whitelist", "none", 0);
        const int opened = avformat_open_input(&m_format, nullptr, format, &options);
        av_dict_free(&options);
        if (opened < 0) // frees the context, not our I/O
            return false;
        return openStream() && openCodec() && measure();
    }

protected:
    long decode(float* out, long maxFrames) override {
        long done = 0;
        while (done < maxFrames && m_position < m_length) {
            if (m_pendingAt >= m_pendingFrames) {
                if (!nextFrame())
                    break;
                continue;
            }
            const int64_t n = std::min<int64_t>(
                {maxFrames - done, m_pendingFrames - m_pendingAt, m_length - m_position});
            std::copy_n(m_pending.data() + m_pendingAt * m_channels, n * m_channels,
                        out + done * m_channels);
            m_pendingAt += n;
            m_position += n;
            done += static_cast<long>(n);
        }
        return done;
    }

    bool seekTo(int64_t frame) override {
        frame = std::clamp<int64_t>(frame, 0, m_length);
        const AVStream* st = m_format->streams[m_stream];
        // Back by the decoder's run-in, further each time the demuxer lands after the place.
        // Ogg dates a page by its end, and FFmpeg dates the packets of the last page back
        // from there: where the encoder trimmed that page's end, they come out early, and a
        // seek into it can even find nothing. Starting a page or more before the place keeps
        // the landing off the last page; decoding then counts its way forward.
        const bool ogg = std::strcmp(m_format->iformat->name, "ogg") == 0;
        int64_t preroll = std::max<int64_t>(st->codecpar->seek_preroll, ogg ? 2 * m_rate : 4096);
        for (int attempt = 0; attempt < 4; ++attempt, preroll *= 8) {
            const bool fromStart = attempt == 3 || frame - preroll <= 0;
            if (!restartAt(fromStart ? startPts() : m_originPts + toPts(frame - preroll), frame))
                return false;
            if (m_position <= frame || fromStart)
                return skipTo(frame);
        }
        return false;
    }

    bool sourceCut() const override { return m_reader.cut(); }

private:
    static int readBytes(void* opaque, uint8_t* out, int size) {
        auto* self = static_cast<FfmpegDecoder*>(opaque);
        if (self->m_bytesRead > self->m_readLimit)
            return AVERROR_EXIT;
        const int64_t n = self->m_reader.read(out, size);
        if (n <= 0)
            return AVERROR_EOF;
        self->m_bytesRead += n;
        return static_cast<int>(n);
    }

    static int64_t seekBytes(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<FfmpegDecoder*>(opaque);
        if (whence & AVSEEK_SIZE)
            return self->m_reader.size();
        const int64_t at = self->m_reader.seek(offset, whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(EINVAL) : at;
    }

    // Nothing else is ever opened: no second file, no URL, no list entry.
    static int refuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
        return AVERROR(EPERM);
    }

    bool openStream() {
        for (unsigned i = 0; i < m_format->nb_streams; ++i)
            if (m_format->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
                m_format->streams[i]->discard = AVDISCARD_ALL; // pictures are never read
        m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (m_stream < 0)
            return false;
        // Raw streams name their rate and channels only in their packets.
        const AVCodecParameters* par = m_format->streams[m_stream]->codecpar;
        if ((par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0) &&
            avformat_find_stream_info(m_format, nullptr) < 0)
            return false;
        for (unsigned i = 0; i < m_format->nb_streams; ++i)
            if (static_cast<int>(i) != m_stream)
                m_format->streams[i]->discard = AVDISCARD_ALL;
        return true;
    }

    bool openCodec() {
        const AVStream* st = m_format->streams[m_stream];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        if (!codec || !listed(codec->name, AudioDecoders) ||
            !(m_codec = avcodec_alloc_context3(codec)) ||
            avcodec_parameters_to_context(m_codec, st->codecpar) < 0)
            return false;
        // Decoded times then count the priming the decoder drops.
        m_codec->pkt_timebase = st->time_base;
        m_codec->thread_count = 1;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "codec_whitelist", AudioDecoders, 0);
        const int opened = avcodec_open2(m_codec, codec, &options);
        av_dict_free(&options);
        if (opened < 0 || !(m_packet = av_packet_alloc()) || !(m_frame = av_frame_alloc()))
            return false;
        // The first sound fixes the rate, the channels and where the song starts.
        if (!receive())
            return false;
        m_rate = m_frame->sample_rate > 0 ? m_frame->sample_rate : m_codec->sample_rate;
        m_channels = m_frame->ch_layout.nb_channels;
        if (m_rate < MinRate || m_rate > MaxRate || m_channels < 1 || m_channels > MaxChannels)
            return false;
        AVChannelLayout layout{};
        if (m_frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, m_channels);
        else
            av_channel_layout_copy(&layout, &m_frame->ch_layout);
        for (int c = 0; c < m_channels; ++c)
            m_layout.push_back(speakerOf(av_channel_layout_channel_from_index(&layout, c)));
        av_channel_layout_uninit(&layout);
        m_originPts = framePts();
        if (m_originPts == AV_NOPTS_VALUE)
            m_originPts = 0;
        m_position = 0;
        return convert(0);
    }

    // The exact length where the container states it, otherwise the packets' extent.
    bool measure() {
        m_length = INT64_MAX; // until known, decode() must not stop early
        const AVStream* st = m_format->streams[m_stream];
        const char* demuxer = m_format->iformat->name;
        if (const int64_t smpb = itunesSampleCount(); smpb > 0) {
            m_length = smpb;
        } else if (listed(demuxer, ExactDemuxers) && st->duration > 0) {
            const int64_t pad =
                std::strcmp(demuxer, "ogg") == 0 ? st->codecpar->initial_padding : 0;
            m_length = std::max<int64_t>(0, toFrames(st->duration) - pad);
        } else {
            m_length = walkPackets();
            if (m_length < 0 && st->duration > 0)
                m_length = toFrames(st->duration);
            if (m_length < 0 && m_format->duration > 0)
                m_length = av_rescale(m_format->duration, m_rate, AV_TIME_BASE);
            if (m_length < 0)
                return false;
            if (!seekTo(0))
                return false;
        }
        m_readLimit = INT64_MAX;
        return m_length > 0;
    }

    // The count of real samples an iTunes-made MP4 file states (encoder delay and final
    // padding left out); 0 without one.
    int64_t itunesSampleCount() const {
        const AVDictionaryEntry* e = av_dict_get(m_format->metadata, "iTunSMPB", nullptr, 0);
        if (!e)
            e = av_dict_get(m_format->streams[m_stream]->metadata, "iTunSMPB", nullptr, 0);
        unsigned priming = 0, padding = 0;
        uint64_t count = 0;
        if (!e || std::sscanf(e->value, "%*x %x %x %" SCNx64, &priming, &padding, &count) != 3)
            return 0;
        return count <= uint64_t(INT64_MAX / 2) ? static_cast<int64_t>(count) : 0;
    }

    // The frames from the song's first sound to the end of its last packet; -1 when the
    // walk cannot finish (unreadable packets, or too much to read).
    int64_t walkPackets() {
        m_readLimit = m_bytesRead + WalkReadLimit;
        int64_t end = AV_NOPTS_VALUE;
        int ret = 0;
        while ((ret = av_read_frame(m_format, m_packet)) >= 0) {
            if (m_packet->stream_index == m_stream && m_packet->pts != AV_NOPTS_VALUE)
                end = std::max(end, m_packet->pts + std::max<int64_t>(m_packet->duration, 0));
            av_packet_unref(m_packet);
        }
        if (ret != AVERROR_EOF || end == AV_NOPTS_VALUE)
            return -1;
        return std::max<int64_t>(0, toFrames(end - m_originPts));
    }

    int64_t toFrames(int64_t pts) const {
        return av_rescale_q(pts, m_format->streams[m_stream]->time_base, {1, m_rate});
    }
    int64_t toPts(int64_t frames) const {
        return av_rescale_q(frames, {1, m_rate}, m_format->streams[m_stream]->time_base);
    }
    int64_t framePts() const {
        return m_frame->pts != AV_NOPTS_VALUE ? m_frame->pts : m_frame->best_effort_timestamp;
    }

    // Decodes the next frame into m_frame; false at the end of the sound.
    bool receive() {
        int fruitless = 0;
        for (;;) {
            const int r = avcodec_receive_frame(m_codec, m_frame);
            if (r == 0) {
                if (m_frame->nb_samples > 0)
                    return true;
                continue;
            }
            if (r != AVERROR(EAGAIN) || m_drained || ++fruitless > MaxFruitlessPackets)
                return false;
            if (av_read_frame(m_format, m_packet) < 0) {
                m_drained = true;
                avcodec_send_packet(m_codec, nullptr);
                continue;
            }
            if (m_packet->stream_index == m_stream) {
                if (m_firstPacketPts == AV_NOPTS_VALUE)
                    m_firstPacketPts =
                        m_packet->pts != AV_NOPTS_VALUE ? m_packet->pts : m_packet->dts;
                avcodec_send_packet(m_codec, m_packet); // a damaged packet is passed over
            }
            av_packet_unref(m_packet);
        }
    }

    // Converts m_frame into m_pending, from its frame skip on; false when the stream
    // changed its format mid-way (it ends there, as in the MPEG decoder).
    bool convert(int64_t skip) {
        if (m_frame->ch_layout.nb_channels != m_channels ||
            (m_frame->sample_rate > 0 && m_frame->sample_rate != m_rate))
            return false;
        const int frames = m_frame->nb_samples;
        m_pending.resize(static_cast<size_t>(frames) * m_channels);
        if (!interleave(m_frame, m_channels, m_pending.data()))
            return false;
        m_pendingFrames = frames;
        m_pendingAt = std::clamp<int64_t>(skip, 0, frames);
        return true;
    }

    bool nextFrame() {
        if (!receive())
            return false;
        m_pendingAt = m_pendingFrames = 0;
        return convert(0);
    }

    // The time of the stream's first packet (before any priming the decoder drops).
    int64_t startPts() const {
        return m_firstPacketPts != AV_NOPTS_VALUE ? m_firstPacketPts
                                                  : std::min<int64_t>(0, m_originPts);
    }

    // Seeks the demuxer to the packet at or before ts and decodes the first frame there;
    // m_position is where that frame lies in the song.
    bool restartAt(int64_t ts, int64_t wanted) {
        int r = avformat_seek_file(m_format, m_stream, INT64_MIN, ts, ts, 0);
        if (r < 0)
            r = av_seek_frame(m_format, m_stream, ts, AVSEEK_FLAG_BACKWARD);
        if (r < 0 && ts <= startPts())
            r = av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BYTE);
        if (r < 0)
            return false;
        avcodec_flush_buffers(m_codec);
        m_drained = false;
        m_pendingAt = m_pendingFrames = 0;
        if (!receive()) {
            m_position = wanted; // nothing after the place: the song ends there
            return true;
        }
        const int64_t pts = framePts();
        m_position = pts == AV_NOPTS_VALUE ? wanted : toFrames(pts - m_originPts);
        return convert(0);
    }

    // Drops what lies before frame, decoding on as needed.
    bool skipTo(int64_t frame) {
        while (m_position + (m_pendingFrames - m_pendingAt) <= frame) {
            m_position += m_pendingFrames - m_pendingAt;
            if (!nextFrame()) {
                m_position = frame;
                return true;
            }
        }
        const int64_t drop = std::max<int64_t>(0, frame - m_position);
        m_pendingAt += drop;
        m_position += drop;
        return true;
    }

    MediaReader m_reader;
    int64_t m_bytesRead = 0;
    int64_t m_readLimit = 0;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    bool m_drained = false;  // the demuxer is done; the decoder gives what it holds
    int64_t m_originPts = 0; // time of the song's first frame, in the stream's units
    int64_t m_firstPacketPts = AV_NOPTS_VALUE;
    int64_t m_position = 0;       // song frame of m_pending[m_pendingAt]
    std::vector<float> m_pending; // the decoded frame, interleaved
    int64_t m_pendingFrames = 0;
    int64_t m_pendingAt = 0;
};

} // namespace

std::unique_ptr<Decoder> openFfmpeg(std::shared_ptr<const MediaBytes> bytes) {
    if (!bytes || bytes->size() == 0)
        return nullptr;
    auto d = std::make_unique<FfmpegDecoder>(std::move(bytes));
    return d->open() ? std::move(d) : nullptr;
}

} // namespace volaro::deck
