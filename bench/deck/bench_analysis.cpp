// Song analysis: throughput over 4-minute MP3s next to bare libmpg123 plus bare libebur128
// on the same files, with and without the beat grid; what the beat work keeps in memory for
// a long song and for hours of sound; and the cost of knowing 10,000 songs from the cache
// (loading it, looking each song up, and an analyser publishing a whole cached list).
// Usage: bench_analysis [FILES]   (default 4)

#include "benchfiles.h"
#include "deck/analysiscache.h"
#include "deck/beattracker.h"
#include "deck/mediabytes.h"
#include "deck/songanalyser.h"
#include "support/drums.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ebur128.h>
#include <malloc.h>
#include <mpg123.h>
#include <vector>

using namespace volaro;

namespace {

// The least the analysis can cost: libmpg123 decoding to float into libebur128's
// integrated loudness, nothing else. Returns seconds of audio.
double barePair(const QString& path) {
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_GAPLESS, 0);
    if (mpg123_open(mh, QFile::encodeName(path).constData()) != MPG123_OK)
        return 0;
    long rate = 0;
    int channels = 0, enc = 0;
    mpg123_getformat(mh, &rate, &channels, &enc);
    ebur128_state* st = ebur128_init(unsigned(channels), unsigned(rate), EBUR128_MODE_I);
    std::vector<unsigned char> buf(1 << 16);
    size_t done = 0, frames = 0;
    int ret;
    do {
        ret = mpg123_read(mh, buf.data(), buf.size(), &done);
        const size_t n = done / (sizeof(float) * channels);
        ebur128_add_frames_float(st, reinterpret_cast<float*>(buf.data()), n);
        frames += n;
    } while (ret == MPG123_OK || ret == MPG123_NEW_FORMAT);
    double lufs = 0;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    mpg123_close(mh);
    mpg123_delete(mh);
    return lufs < 100 ? double(frames) / rate : 0;
}

void throughput(const QStringList& files) {
    for (const QString& f : files) // page cache warm for both sides
        barePair(f);
    double audio = 0, t0 = bench::threadCpuSeconds();
    for (const QString& f : files)
        audio += barePair(f);
    const double bare = bench::threadCpuSeconds() - t0;

    t0 = bench::threadCpuSeconds();
    for (const QString& f : files)
        deck::analyseSong(deck::MediaBytes::openFile(f), nullptr, false);
    const double withoutBeats = bench::threadCpuSeconds() - t0;

    double analysed = 0;
    t0 = bench::threadCpuSeconds();
    for (const QString& f : files)
        analysed += deck::analyseSong(f).seconds;
    const double ours = bench::threadCpuSeconds() - t0;

    const int n = int(files.size());
    std::printf("%d files, %.0f s of audio each (CPU time of one thread)\n", n, audio / n);
    std::printf("  bare libmpg123 + libebur128: %6.2f files/s  %5.0fx real time\n", n / bare,
                audio / bare);
    std::printf("  analyseSong without beats:   %6.2f files/s  %5.0fx real time  (%.2fx the bare "
                "pair's time)\n",
                n / withoutBeats, analysed / withoutBeats, withoutBeats / bare);
    std::printf("  analyseSong:                 %6.2f files/s  %5.0fx real time  (%.2fx the bare "
                "pair's time, %.2fx without beats)\n",
                n / ours, analysed / ours, ours / bare, ours / withoutBeats);
}

// Drums fed to a beat tracker for the given minutes: the heap it holds at the end of the
// stream, and the CPU time of placing the beats.
void beatMemory(double minutes) {
    fixtures::DrumPattern pattern{.bpm = 124, .seconds = 60};
    const std::vector<float> drums = fixtures::renderDrums(pattern);
    const auto heap = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    const size_t before = heap();
    deck::BeatTracker tracker(pattern.sampleRate, 2);
    for (double fed = 0; fed < minutes; ++fed)
        tracker.add(drums.data(), long(drums.size() / 2));
    const double held = double(heap() - before) / (1 << 20);
    const double t0 = bench::threadCpuSeconds();
    const deck::BeatGrid grid = tracker.finish(0, minutes * 60);
    std::printf("beats over %.0f min of drums: %.2f MiB held while streaming, %.0f ms to place "
                "them, %.3f BPM (of %.0f)\n",
                minutes, held, (bench::threadCpuSeconds() - t0) * 1e3, grid.bpm, pattern.bpm);
}

void cachedLookups(int songs) {
    QTemporaryDir dir;
    QStringList paths;
    deck::AnalysisCache cache(dir.filePath("cache"));
    deck::SongAnalysis a;
    a.status = deck::SongAnalysis::Status::Ok;
    a.loudness = -14;
    a.peak = -0.5;
    a.seconds = a.soundEnd = 240;
    for (int i = 0; i < songs; ++i) {
        paths << dir.filePath(QString("Some Artist - Some Song Title %1.mp3").arg(i));
        QFile f(paths.last());
        if (!f.open(QIODevice::WriteOnly) || f.write("x") != 1) {
            std::printf("cannot write %s\n", qPrintable(paths.last()));
            return;
        }
        f.close();
        cache.insert(paths.last(), deck::AnalysisCache::keyOf(paths.last()), a);
    }
    double t0 = bench::wallSeconds();
    cache.save();
    const double save = bench::wallSeconds() - t0;

    deck::AnalysisCache loaded(dir.filePath("cache"));
    t0 = bench::wallSeconds();
    const bool ok = loaded.load();
    const double load = bench::wallSeconds() - t0;

    int found = 0;
    t0 = bench::wallSeconds();
    for (const QString& p : paths)
        found += loaded.find(p, deck::AnalysisCache::keyOf(p)).has_value();
    const double lookups = bench::wallSeconds() - t0;

    // Right after start-up, before the queue reached any song: the first song of a session.
    int firstKnown = 0;
    double startUp = 0, firstLookups = 0;
    {
        t0 = bench::wallSeconds();
        deck::SongAnalyser analyser(dir.filePath("cache"));
        startUp = bench::wallSeconds() - t0;
        t0 = bench::wallSeconds();
        for (const QString& p : paths)
            firstKnown += analyser.known(p).has_value();
        firstLookups = bench::wallSeconds() - t0;
    }

    // A whole list opened with every song in the cache, until the GUI thread heard of all.
    int heard = 0, known = 0;
    double knownTime = 0;
    t0 = bench::wallSeconds();
    {
        deck::SongAnalyser analyser(dir.filePath("cache"));
        QEventLoop loop;
        QObject::connect(&analyser, &deck::SongAnalyser::analysed, [&] {
            if (++heard == songs)
                loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        analyser.setOrder(paths);
        loop.exec();
        const double k0 = bench::wallSeconds();
        for (const QString& p : paths)
            known += analyser.known(p).has_value();
        knownTime = bench::wallSeconds() - k0;
    }
    const double wholeList = bench::wallSeconds() - t0 - knownTime;

    std::printf("cache of %d songs (%lld bytes): save %.1f ms, load %.1f ms (%s)\n", songs,
                QFileInfo(cache.filePath()).size(), save * 1e3, load * 1e3,
                ok ? "valid" : "REJECTED");
    std::printf("  lookup with the file's size and time: %.2f us per song, %.1f ms for all "
                "(%d found)\n",
                lookups * 1e6 / songs, lookups * 1e3, found);
    std::printf("  analyser over the whole cached list, all results on the GUI thread: %.0f ms "
                "(%d heard)\n",
                wholeList * 1e3, heard);
    std::printf("  known() from the GUI thread: %.2f us per song (%d known)\n",
                knownTime * 1e6 / songs, known);
    std::printf("  analyser start-up, cache read on the GUI thread: %.1f ms; known() before the "
                "queue reached the song: %.2f us per song (%d known)\n",
                startUp * 1e3, firstLookups * 1e6 / songs, firstKnown);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const auto kind = i % 2 ? fixtures::Mp3Kind::VbrXing : fixtures::Mp3Kind::Cbr;
        files << bench::cachedMp3(QString("analysis-%1.mp3").arg(i), 240, kind, i % 2 ? 2 : 192);
    }
    throughput(files);
    beatMemory(4);
    beatMemory(19);
    beatMemory(120);
    cachedLookups(10000);
    return 0;
}
