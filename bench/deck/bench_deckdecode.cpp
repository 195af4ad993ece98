// CPU cost of playing two MP3 decks: bare libmpg123 decoding, our engine decoding,
// converting and mixing two decks computed offline (also resampled, and with one deck
// time-stretched to another tempo), and two decks really playing.
// Usage: bench_deckdecode [PLAY_SECONDS]   (default 10)

#include "benchfiles.h"
#include "deck/deckstream.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"
#include "deck/player.h"

#include <QFile>
#include <SDL.h>
#include <cstdio>
#include <mpg123.h>
#include <thread>
#include <vector>

using namespace volaro::deck;

using namespace volaro;

namespace {

// Decodes the whole file with libmpg123 alone; returns seconds of audio.
double bareDecode(const QString& path) {
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_FLOAT, 0);
    if (mpg123_open(mh, QFile::encodeName(path).constData()) != MPG123_OK)
        return 0;
    long rate = 0;
    int channels = 0, enc = 0;
    mpg123_getformat(mh, &rate, &channels, &enc);
    std::vector<unsigned char> buf(1 << 16);
    size_t done = 0, bytes = 0;
    int ret;
    while ((ret = mpg123_read(mh, buf.data(), buf.size(), &done)) == MPG123_OK ||
           ret == MPG123_NEW_FORMAT)
        bytes += done;
    bytes += done;
    mpg123_close(mh);
    mpg123_delete(mh);
    return double(bytes) / (sizeof(float) * channels) / rate;
}

// Two decks through the engine's own decode, conversion and mix, without a device; played
// at `rate` (the files' own 44.1 kHz needs no resampling).
// With `tempo`, the second deck runs that much faster through the time-stretcher, as an
// incoming song does while its beats are matched.
double offlineTwoDecks(const QString& a, const QString& b, int Rate = 44100, double tempo = 1) {
    constexpr int Period = 1024;
    auto da = deck::Decoder::open(deck::MediaBytes::openFile(a));
    auto db = deck::Decoder::open(deck::MediaBytes::openFile(b));
    if (!da || !db)
        return 0;
    deck::DeckStream sa(std::move(da), Rate, Period), sb(std::move(db), Rate, Period);
    sa.setVolume(-600);
    sb.setVolume(-1200);
    sb.setBalance(2000);
    if (tempo != 1)
        sb.setTempo(tempo);
    sa.setPlaying(true);
    sb.setPlaying(true);
    std::vector<float> out(Period * 2);
    const auto total =
        static_cast<int64_t>(std::max(sa.lengthSeconds(), sb.lengthSeconds()) * Rate);
    int64_t frames = 0;
    double peak = 0; // used, so that the mix cannot be optimised away
    for (; frames < total; frames += Period) {
        sa.produce();
        sb.produce();
        std::fill(out.begin(), out.end(), 0.0f);
        sa.mixInto(out.data(), Period, 0, -1);
        sb.mixInto(out.data(), Period, 0, -1);
        peak = std::max<double>(peak, out[0]);
    }
    if (peak > 100)
        std::printf("(impossible peak %f)\n", peak);
    return double(frames) / Rate;
}

} // namespace

int main(int argc, char** argv) {
    const double playSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const QString a = bench::cachedMp3("cbr320-a.mp3", 120, fixtures::Mp3Kind::Cbr, 320);
    const QString b = bench::cachedMp3("cbr320-b.mp3", 120, fixtures::Mp3Kind::Cbr, 320);

    // Warm the page cache so that both sides read from memory.
    bareDecode(a);
    bareDecode(b);

    double t0 = bench::threadCpuSeconds();
    const double audio = bareDecode(a) + bareDecode(b);
    const double bare = bench::threadCpuSeconds() - t0;
    std::printf("bare libmpg123, 320 kbps CBR: %.0fx real time per deck; two decks %.3f %% of "
                "one core\n",
                audio / bare, 100.0 * bare / (audio / 2));

    t0 = bench::threadCpuSeconds();
    const double mixed = offlineTwoDecks(a, b);
    const double engine = bench::threadCpuSeconds() - t0;
    std::printf("engine offline, two decks decoded, converted and mixed: %.3f %% of one core "
                "(%.0fx real time for the pair; %.2fx bare decoding)\n",
                100.0 * engine / mixed, mixed / engine, engine / bare);
    t0 = bench::threadCpuSeconds();
    const double resampled = offlineTwoDecks(a, b, 48000);
    const double engine48 = bench::threadCpuSeconds() - t0;
    std::printf("the same on a 48 kHz output, both decks resampled: %.3f %% of one core "
                "(%.2fx bare decoding)\n",
                100.0 * engine48 / resampled, engine48 / bare);

    t0 = bench::threadCpuSeconds();
    const double stretched = offlineTwoDecks(a, b, 44100, 125.0 / 120.0);
    const double engineStretched = bench::threadCpuSeconds() - t0;
    std::printf("the same with the second deck at 125/120 of its tempo (beats matched): %.3f %% "
                "of one core; the time-stretcher's share %.3f %% of one core\n",
                100.0 * engineStretched / stretched,
                100.0 * (engineStretched / stretched - engine / mixed));

    bench::defaultToSilentOutput();
    Player pa, pb;
    const QStringList outputs = Player::outputNames();
    if (outputs.isEmpty()) {
        std::printf("no audio output: live figure skipped\n");
        return 0;
    }
    for (Player* p : {&pa, &pb}) {
        p->setOutputDevice(outputs.first());
        p->setFilename(p == &pa ? a : b);
        if (p->OpenFile() != 0) {
            std::printf("cannot open the decks\n");
            return 1;
        }
    }
    pb.setVolume(-600);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // device start-up settles
    const double c0 = bench::processCpuSeconds(), w0 = bench::wallSeconds();
    pa.PlayFile();
    pb.PlayFile();
    int32_t lastPosition = 0;
    while (bench::wallSeconds() - w0 < playSeconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lastPosition = pa.Position(); // as the position monitor polls it
    }
    const double cpu = bench::processCpuSeconds() - c0, wall = bench::wallSeconds() - w0;
    std::printf("two decks playing live on \"%s\" (%s driver) for %.1f s (position %d): %.3f %% "
                "of one core, whole process\n",
                qPrintable(outputs.first()), SDL_GetCurrentAudioDriver(), wall, lastPosition,
                100.0 * cpu / wall);
    return 0;
}
