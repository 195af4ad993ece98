#include "support/codecfixtures.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <taglib/mp4file.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace volaro::fixtures {

namespace {

struct Recipe {
    const char* name;
    const char* suffix;
    const char* muxer;
    const char* encoder;
    int64_t bitRate;
};

// In the order of Codec.
constexpr Recipe Recipes[] = {
    {"aac", ".m4a", "ipod", "aac", 128000},      {"alac", ".m4a", "ipod", "alac", 0},
    {"opus", ".opus", "opus", "libopus", 96000}, {"wma", ".wma", "asf", "wmav2", 128000},
    {"wavpack", ".wv", "wv", "wavpack", 0},      {"aac-itunes", ".m4a", "ipod", "aac", 128000},
    {"aac-video", ".mp4", "mp4", "aac", 128000},
};

Recipe recipeOf(Codec codec) {
    return Recipes[static_cast<int>(codec)];
}

// The encoder's layout for the count when it lists its own, else the default one.
AVChannelLayout layoutFor(const AVCodec* encoder, int channels) {
    AVChannelLayout layout{};
    for (const AVChannelLayout* l = encoder->ch_layouts; l && l->nb_channels; ++l)
        if (l->nb_channels == channels && av_channel_layout_copy(&layout, l) == 0)
            return layout;
    av_channel_layout_default(&layout, channels);
    return layout;
}

AVSampleFormat formatFor(const AVCodec* encoder) {
    for (AVSampleFormat want : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16})
        for (const AVSampleFormat* f = encoder->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == want)
                return want;
    return encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_NONE;
}

// Frames [from, from + count) of the interleaved samples into the frame's format.
void put(AVFrame* frame, const std::vector<float>& samples, int channels, size_t from) {
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    for (int i = 0; i < frame->nb_samples; ++i)
        for (int c = 0; c < channels; ++c) {
            const float v = samples[(from + i) * channels + c];
            const auto s16 = static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767));
            if (fmt == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(frame->extended_data[c])[i] = v;
            else if (fmt == AV_SAMPLE_FMT_S16P)
                reinterpret_cast<int16_t*>(frame->extended_data[c])[i] = s16;
            else
                reinterpret_cast<int16_t*>(frame->data[0])[i * channels + c] = s16;
        }
}

struct Writer {
    AVFormatContext* out = nullptr;
    AVCodecContext* enc = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Writer() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&enc);
        if (out && out->pb)
            avio_closep(&out->pb);
        avformat_free_context(out);
    }
    // Sends one frame (null: the end) and writes what the encoder hands back.
    bool send(const AVFrame* f) {
        if (avcodec_send_frame(enc, f) < 0)
            return false;
        for (;;) {
            const int r = avcodec_receive_packet(enc, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            av_packet_rescale_ts(packet, enc->time_base, out->streams[0]->time_base);
            if (av_interleaved_write_frame(out, packet) < 0)
                return false;
        }
    }
    // One picture (of junk) per tenth of a second of sound.
    bool picture(AVStream* video, double seconds) {
        const auto index = static_cast<int64_t>(seconds * 10);
        if (index < pictures)
            return true;
        pictures = index + 1;
        if (av_new_packet(packet, 512) < 0)
            return false;
        std::fill_n(packet->data, 512, uint8_t(0xA5));
        packet->stream_index = video->index;
        packet->pts = packet->dts = index;
        packet->duration = 1;
        packet->flags |= AV_PKT_FLAG_KEY;
        return av_interleaved_write_frame(out, packet) >= 0;
    }
    int64_t pictures = 0;
};

// iTunes' gapless note: priming, final padding and the count of real samples, in hex.
bool noteGapless(const QString& path, int priming, size_t samples) {
    TagLib::MP4::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return false;
    const int64_t blocks = (priming + samples + 1023) / 1024;
    const auto padding = static_cast<unsigned>(blocks * 1024 - priming - samples);
    const auto text = QString::asprintf(" 00000000 %08X %08X %016llX", priming, padding,
                                        static_cast<unsigned long long>(samples));
    file.tag()->setItem("----:com.apple.iTunes:iTunSMPB",
                        TagLib::StringList(TagLib::String(text.toStdString())));
    return file.save();
}

} // namespace

QString codecSuffix(Codec codec) {
    return QString::fromLatin1(recipeOf(codec).suffix);
}

const char* codecName(Codec codec) {
    return recipeOf(codec).name;
}

int codecRate(Codec codec) {
    return codec == Codec::Opus ? 48000 : 44100;
}

bool writeEncoded(const QString& path, Codec codec, const std::vector<float>& samples,
                  int sampleRate, int channels) {
    av_log_set_level(AV_LOG_ERROR); // not the encoders' statistics
    const Recipe r = recipeOf(codec);
    const AVCodec* encoder = avcodec_find_encoder_by_name(r.encoder);
    const QByteArray name = QFile::encodeName(path);
    Writer w;
    if (!encoder ||
        avformat_alloc_output_context2(&w.out, nullptr, r.muxer, name.constData()) < 0 ||
        !(w.enc = avcodec_alloc_context3(encoder)) || !(w.frame = av_frame_alloc()) ||
        !(w.packet = av_packet_alloc()))
        return false;
    w.enc->sample_rate = sampleRate;
    w.enc->sample_fmt = formatFor(encoder);
    w.enc->ch_layout = layoutFor(encoder, channels);
    w.enc->bit_rate = r.bitRate * std::max(channels, 2) / 2;
    w.enc->time_base = {1, sampleRate};
    if (w.out->oformat->flags & AVFMT_GLOBALHEADER)
        w.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVStream* st = avformat_new_stream(w.out, nullptr);
    if (!st || avcodec_open2(w.enc, encoder, nullptr) < 0 ||
        avcodec_parameters_from_context(st->codecpar, w.enc) < 0)
        return false;
    st->time_base = {1, sampleRate};
    // The pictures are bytes no decoder could read: a player that tried would fail.
    AVStream* video = codec == Codec::AacVideo ? avformat_new_stream(w.out, nullptr) : nullptr;
    if (video) {
        video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        video->codecpar->codec_id = AV_CODEC_ID_MJPEG;
        video->codecpar->width = 64;
        video->codecpar->height = 48;
        video->time_base = {1, 10};
    }
    AVDictionary* options = nullptr;
    if (codec == Codec::AacItunes)
        av_dict_set(&options, "use_editlist", "0", 0);
    const bool opened = avio_open(&w.out->pb, name.constData(), AVIO_FLAG_WRITE) >= 0 &&
                        avformat_write_header(w.out, &options) >= 0;
    av_dict_free(&options);
    if (!opened)
        return false;

    const size_t total = samples.size() / channels;
    const int chunk = w.enc->frame_size > 0 ? w.enc->frame_size : 4096;
    for (size_t at = 0; at < total; at += chunk) {
        av_frame_unref(w.frame);
        w.frame->nb_samples = static_cast<int>(std::min<size_t>(chunk, total - at));
        w.frame->format = w.enc->sample_fmt;
        w.frame->sample_rate = sampleRate;
        w.frame->pts = static_cast<int64_t>(at);
        if (av_channel_layout_copy(&w.frame->ch_layout, &w.enc->ch_layout) < 0 ||
            av_frame_get_buffer(w.frame, 0) < 0)
            return false;
        put(w.frame, samples, channels, at);
        if (!w.send(w.frame) || (video && !w.picture(video, at / double(sampleRate))))
            return false;
    }
    if (!w.send(nullptr) || av_write_trailer(w.out) != 0)
        return false;
    return codec != Codec::AacItunes || noteGapless(path, w.enc->initial_padding, total);
}

} // namespace volaro::fixtures
