#include "support/fixtures.h"

#include "base/filename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <lame/lame.h>
#include <memory>
#include <random>
#include <sndfile.h>
#include <vector>

namespace volaro::fixtures {

std::vector<float> render(const Signal& s) {
    const auto frames = static_cast<size_t>(std::llround(s.seconds * s.sampleRate));
    std::vector<float> out(frames * s.channels);
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const double step = 2.0 * M_PI * s.frequency / s.sampleRate;
    for (size_t i = 0; i < frames; ++i) {
        double v = s.frequency > 0 ? s.amplitude * std::sin(step * static_cast<double>(i)) : 0.0;
        for (int c = 0; c < s.channels; ++c)
            out[i * s.channels + c] =
                static_cast<float>(v + (s.noise > 0 ? s.noise * noise(rng) : 0.0));
    }
    return out;
}

bool writeWavSamples(const QString& path, const std::vector<float>& samples, int sampleRate,
                     int channels, bool asFloat) {
    const int major = path.endsWith(QLatin1String(".flac")) ? SF_FORMAT_FLAC : SF_FORMAT_WAV;
    SF_INFO info{0, sampleRate, channels, major | (asFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16),
                 0, 0};
    SNDFILE* f = sf_open(volaro::base::fileNameBytes(path).constData(), SFM_WRITE, &info);
    if (!f)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / channels);
    const bool ok = sf_writef_float(f, samples.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

bool writeWav(const QString& path, const Signal& s, bool asFloat) {
    return writeWavSamples(path, render(s), s.sampleRate, s.channels, asFloat);
}

bool writeMp3(const QString& path, const Signal& s, Mp3Kind kind, int bitrate) {
    return writeMp3Samples(path, render(s), s.sampleRate, s.channels, kind, bitrate);
}

bool writeMp3Samples(const QString& path, const std::vector<float>& samples, int sampleRate,
                     int channels, Mp3Kind kind, int bitrate) {
    const std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> owner(lame_init(),
                                                                                lame_close);
    lame_global_flags* gf = owner.get();
    if (!gf)
        return false;
    lame_set_in_samplerate(gf, sampleRate);
    lame_set_out_samplerate(gf, sampleRate);
    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(gf, 7); // fast: fixtures need the format, not the fidelity
    const bool vbr = kind == Mp3Kind::VbrXing || kind == Mp3Kind::VbrNoHeader;
    lame_set_VBR(gf, vbr ? vbr_default : vbr_off);
    if (vbr)
        lame_set_VBR_quality(gf, static_cast<float>(bitrate));
    else
        lame_set_brate(gf, bitrate);
    lame_set_bWriteVbrTag(gf, kind == Mp3Kind::Cbr || kind == Mp3Kind::VbrXing ? 1 : 0);
    FILE* out = lame_init_params(gf) < 0
                    ? nullptr
                    : std::fopen(volaro::base::fileNameBytes(path).constData(), "wb+");
    if (!out)
        return false;
    const int frames = static_cast<int>(samples.size() / channels);
    std::vector<unsigned char> buf(static_cast<size_t>(1.25 * 8192 + 7200));
    const auto write = [&](int bytes) {
        return bytes >= 0 && std::fwrite(buf.data(), 1, bytes, out) == static_cast<size_t>(bytes);
    };
    bool ok = true;
    constexpr int chunk = 4096;
    for (int pos = 0; pos < frames && ok; pos += chunk) {
        const int n = std::min(chunk, frames - pos);
        ok = write(channels == 1
                       ? lame_encode_buffer_ieee_float(gf, samples.data() + pos, nullptr, n,
                                                       buf.data(), static_cast<int>(buf.size()))
                       : lame_encode_buffer_interleaved_ieee_float(
                             gf, samples.data() + static_cast<size_t>(pos) * 2, n, buf.data(),
                             static_cast<int>(buf.size())));
    }
    ok = ok && write(lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size())));
    if (ok && lame_get_bWriteVbrTag(gf))
        lame_mp3_tags_fid(gf, out); // rewrites the header frame at the start with the totals
    return std::fclose(out) == 0 && ok;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
           f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QString oddMediaDir() {
    const QString dir = qEnvironmentVariable("VOLARO_TESTDATA") + QStringLiteral("/taglib");
    return !qEnvironmentVariableIsEmpty("VOLARO_TESTDATA") && QDir(dir).exists() ? dir : QString();
}

} // namespace volaro::fixtures
