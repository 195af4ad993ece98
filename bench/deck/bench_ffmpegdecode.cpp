// The FFmpeg kinds: decoding speed of our Decoder next to FFmpeg's own command
// (`ffmpeg -threads 1 -i FILE -f null -`) on the same 4-minute files in the same run, and
// the length lookup (Decoder::open + lengthFrames) in files per second. For Ogg Opus,
// which libsndfile reads too, libsndfile through our interface is measured beside it.
// Usage: bench_ffmpegdecode [SECONDS_PER_LOOKUP_FIGURE]   (default 2)

#include "benchfiles.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"
#include "support/codecfixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <sndfile.h>
#include <vector>

using namespace volaro;
using fixtures::Codec;

namespace {

QString cachedSong(Codec codec) {
    const QString dir = QDir::tempPath() + "/volaro-bench-deck";
    QDir().mkpath(dir);
    const QString path = dir + "/4min-" + fixtures::codecName(codec) + fixtures::codecSuffix(codec);
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "generating %s ...\n", qPrintable(path));
        const int rate = fixtures::codecRate(codec);
        const auto samples = fixtures::render({.frequency = 330,
                                               .seconds = 240,
                                               .sampleRate = rate,
                                               .amplitude = 0.3,
                                               .noise = 0.15});
        const QString tmp = path + ".part" + fixtures::codecSuffix(codec);
        if (!fixtures::writeEncoded(tmp, codec, samples, rate, 2) || !QFile::rename(tmp, path))
            std::exit(1);
    }
    return path;
}

// Seconds of wall time to decode the whole song; -1 when it does not open.
double decodeSeconds(std::unique_ptr<deck::Decoder> d) {
    if (!d)
        return -1;
    const double w0 = bench::wallSeconds();
    std::vector<float> buf(4096 * static_cast<size_t>(d->channels()));
    while (d->read(buf.data(), 4096) > 0) {
    }
    return bench::wallSeconds() - w0;
}

// The same through bare libsndfile, which reads Ogg Opus too.
double sndfileSeconds(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f)
        return -1;
    const double w0 = bench::wallSeconds();
    std::vector<float> buf(4096 * static_cast<size_t>(info.channels));
    while (sf_readf_float(f, buf.data(), 4096) > 0) {
    }
    sf_close(f);
    return bench::wallSeconds() - w0;
}

double ffmpegCommandSeconds(const QString& path) {
    QProcess p;
    const double w0 = bench::wallSeconds();
    p.start("ffmpeg", {"-v", "quiet", "-threads", "1", "-i", path, "-f", "null", "-"});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    return bench::wallSeconds() - w0;
}

// The best of three: the machine is shared.
template <typename F> double best(F f) {
    double b = 1e9;
    for (int i = 0; i < 3; ++i)
        if (const double s = f(); s >= 0)
            b = std::min(b, s);
    return b < 1e9 ? b : -1;
}

} // namespace

int main(int argc, char** argv) {
    const double lookupSeconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    for (const Codec codec : fixtures::AllCodecs) {
        const QString path = cachedSong(codec);
        auto open = [&] { return deck::Decoder::open(deck::MediaBytes::openFile(path)); };
        const double ours = best([&] { return decodeSeconds(open()); });
        const double theirs = best([&] { return ffmpegCommandSeconds(path); });
        std::printf("%-8s decode: Decoder %6.0fx real time, ffmpeg command %6.0fx, ratio %.2f\n",
                    fixtures::codecName(codec), 240 / ours, 240 / theirs, ours / theirs);
        if (codec == Codec::Opus) {
            const double viaSndfile = best([&] { return sndfileSeconds(path); });
            std::printf("%-8s decode: FFmpeg through our Decoder %6.0fx, bare libsndfile %6.0fx\n",
                        "opus", 240 / ours, 240 / viaSndfile);
        }
        int64_t count = 0;
        double length = 0;
        const double w0 = bench::wallSeconds();
        while (bench::wallSeconds() - w0 < lookupSeconds) {
            auto d = open();
            length = d ? d->seconds() : -1;
            ++count;
        }
        std::printf("%-8s length lookup: %8.0f files/s (length %.4f s)\n",
                    fixtures::codecName(codec), count / (bench::wallSeconds() - w0), length);
    }
    return 0;
}
