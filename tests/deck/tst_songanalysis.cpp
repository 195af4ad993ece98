// Song analysis (loudness against an independent BS.1770 measure, peaks, silent ends, beat
// grids of generated drums), the background analyser and its disk cache.

#include "deck/analysiscache.h"
#include "deck/songanalyser.h"
#include "deck/songanalysis.h"
#include "support/drums.h"
#include "support/fixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sys/stat.h>

using namespace volaro::deck;
using namespace volaro::fixtures;

namespace {

constexpr int Rate = 48000; // the rate the K-weighting coefficients below are given for

// Stereo pink noise (Paul Kellet's filter over white noise), different on each channel.
std::vector<float> pinkNoise(double seconds, unsigned seed) {
    QRandomGenerator random(seed);
    const auto frames = static_cast<size_t>(seconds * Rate);
    std::vector<float> out(frames * 2);
    for (int c = 0; c < 2; ++c) {
        double b0 = 0, b1 = 0, b2 = 0;
        for (size_t f = 0; f < frames; ++f) {
            const double w = random.generateDouble() * 2 - 1;
            b0 = 0.99765 * b0 + w * 0.0990460;
            b1 = 0.96300 * b1 + w * 0.2965164;
            b2 = 0.57000 * b2 + w * 1.0526913;
            out[f * 2 + c] = float((b0 + b1 + b2 + w * 0.1848) * 0.1);
        }
    }
    return out;
}

// Ungated BS.1770 loudness of a steady stereo signal at 48 kHz (gating changes nothing on
// steady noise): K-weighting as the two published biquads, then mean square per channel.
double referenceLoudness(const std::vector<float>& s) {
    struct Biquad {
        double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
        double run(double x) {
            const double y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }
    };
    double power = 0;
    for (int c = 0; c < 2; ++c) {
        Biquad shelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                     0.73248077421585};
        Biquad highPass{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
        double sum = 0;
        for (size_t i = c; i < s.size(); i += 2) {
            const double y = highPass.run(shelf.run(s[i]));
            sum += y * y;
        }
        power += sum / double(s.size() / 2);
    }
    return -0.691 + 10 * std::log10(power);
}

} // namespace

class TestSongAnalysis : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_cacheDir;
    QStringList m_songs;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Runs an analyser over the songs; returns what it emitted, in order.
    QList<QPair<QString, SongAnalysis>> run(const QStringList& order, int* decoded = nullptr) {
        QList<QPair<QString, SongAnalysis>> out;
        SongAnalyser analyser(m_cacheDir);
        QObject receiver; // gone first, with whatever is still queued to it
        // Queued to this thread, as the window receives them (a spy would record on the
        // analyser's thread while this one reads).
        connect(
            &analyser, &SongAnalyser::analysed, &receiver,
            [&](const QString& path, const SongAnalysis& a) {
                // The lookup agrees with the signal once the signal is out.
                out.append({analyser.known(path) == a ? path : QString("lookup differs"), a});
            },
            Qt::QueuedConnection);
        analyser.setOrder(order);
        // The caller checks how many came.
        (void)QTest::qWaitFor([&] { return out.size() >= order.size(); }, 20000);
        if (decoded)
            *decoded = analyser.decodedCount();
        return out;
    }

private slots:
    void initTestCase() {
        m_cacheDir = m_dir.filePath("cache");
        for (int i = 0; i < 3; ++i) {
            m_songs << m_dir.filePath(QString("song%1.mp3").arg(i));
            QVERIFY(writeMp3(m_songs.last(), {.seconds = 3, .amplitude = 0.05 * (i + 1)},
                             Mp3Kind::Cbr, 128));
        }
        m_songs << m_dir.filePath("missing.mp3");
    }

    void loudness() {
        for (const double lufs : {-10.0, -20.0, -30.0}) {
            auto noise = pinkNoise(12, 7);
            const float scale = float(std::pow(10.0, (lufs - referenceLoudness(noise)) / 20));
            for (float& x : noise) // to the target, clipped to full scale
                x = std::clamp(x * scale, -1.0f, 1.0f);
            const double reference = referenceLoudness(noise);
            QVERIFY(std::abs(reference - lufs) < 0.2);
            QVERIFY(writeWavSamples(path("pink.wav"), noise, Rate, 2));

            const SongAnalysis a = analyseSong(path("pink.wav"));
            QCOMPARE_LT(std::abs(a.loudness - reference), 0.5);
            // Steady noise: sound from the first block to the last.
            QCOMPARE(std::pair(a.soundStart, a.soundEnd), std::pair(0.0, 12.0));
            // Levelled to the target, the peak stays under the ceiling.
            const double gain = levelGain(a) / 100.0;
            QVERIFY(a.peak + gain <= PeakCeiling);
            if (a.peak + (TargetLoudness - a.loudness) <= PeakCeiling)
                QVERIFY(std::abs(a.loudness + gain - TargetLoudness) < 0.02);
        }
    }

    void peaksAndChannels() {
        // A tone near full scale: its measured peak.
        QVERIFY(writeMp3(path("loud.mp3"), {.frequency = 1000, .seconds = 5, .amplitude = 0.98},
                         Mp3Kind::Cbr, 192));
        const SongAnalysis a = analyseSong(path("loud.mp3"));
        QCOMPARE_LT(std::abs(a.peak - 20 * std::log10(0.98)), 0.5);
        // A 1 kHz stereo sine measures its peak level in LUFS (EBU Tech 3341).
        QVERIFY(std::abs(a.loudness - a.peak) < 0.3);

        // A quiet song with full-scale clicks: the boost it needs is held at the ceiling.
        std::vector<float> s = render({.seconds = 10, .amplitude = 0.01}); // -40 dBFS
        for (size_t i = 0; i < s.size(); i += 44100 * 2)
            s[i] = 0.5f; // -6 dBFS
        QVERIFY(writeWavSamples(path("clicks.wav"), s, 44100, 2));
        const SongAnalysis c = analyseSong(path("clicks.wav"));
        QVERIFY(c.loudness < -35);
        QVERIFY(std::abs(c.peak - 20 * std::log10(0.5)) < 0.01);
        QCOMPARE(levelGain(c), int32_t(std::floor((PeakCeiling - c.peak) * 100)));
        // A quiet song whose peak is over the ceiling already is left as it is, not cut.
        QCOMPARE(levelGain({SongAnalysis::Status::Ok, -30, -0.5, 0, 10, 10, {}}), 0);

        // A mono song sounds on both speakers, as the same sound in stereo does.
        QVERIFY(writeWav(path("stereo.wav"), {.amplitude = 0.2}));
        QVERIFY(writeWav(path("mono.wav"), {.channels = 1, .amplitude = 0.2}));
        const double stereo = analyseSong(path("stereo.wav")).loudness;
        QVERIFY(std::abs(analyseSong(path("mono.wav")).loudness - stereo) < 0.05);
    }

    void silentEnds() {
        // 2 s of hiss 5 dB under the threshold, 4 s of music, 1 s of a quiet tone 5 dB
        // over it, 3 s of hiss.
        const auto part = [](double seconds, double tone, double hiss) {
            return render({.seconds = seconds, .amplitude = tone, .noise = hiss}); // 440 Hz
        };
        const double hiss = std::pow(10, (SilenceThresholdDb - 5) / 20) * std::sqrt(3.0);
        const double quiet = std::pow(10, (SilenceThresholdDb + 5) / 20) * std::sqrt(2.0);
        std::vector<float> s;
        for (const auto& p :
             {part(2, 0, hiss), part(4, 0.1, 0), part(1, quiet, 0), part(3, 0, hiss)})
            s.insert(s.end(), p.begin(), p.end());
        QVERIFY(writeWavSamples(path("ends.wav"), s, 44100, 2));

        const SongAnalysis a = analyseSong(path("ends.wav"));
        QVERIFY2(std::abs(a.soundStart - 2.0) <= 0.05, qPrintable(QString::number(a.soundStart)));
        QVERIFY2(std::abs(a.soundEnd - 7.0) <= 0.05, qPrintable(QString::number(a.soundEnd)));
        QCOMPARE(a.seconds, 10.0);
        // Skip silence moves both points onto the music; the larger trim still wins.
        QCOMPARE(songSpan(10, 0, 0, a), (SongSpan{2, 7}));
        QCOMPARE(songSpan(15, 5, 10), (SongSpan{0, 15})); // trims leave nothing: all plays
        QCOMPARE(songSpan(16, 5, 10), (SongSpan{5, 6}));
        QCOMPARE(songSpan(10, 3, 1, a), (SongSpan{3, 7}));
        QCOMPARE(songSpan(10, 1, 4, a), (SongSpan{2, 6}));
        // The trim start past the sound: the trims alone.
        QCOMPARE(songSpan(10, 8, 0, a), (SongSpan{8, 10}));
        // Sound bounds between whole seconds: both rounded down.
        QCOMPARE(songSpan(10, 0, 0, {SongAnalysis::Status::Ok, -20, -3, 2.7, 7.6, 10, {}}),
                 (SongSpan{2, 7}));
    }

    void beatGrid() {
        // Drum patterns of known tempo and downbeats, at two rates; then sounds with no beat.
        const DrumPattern drums[] = {
            {.bpm = 100, .intro = 0.5, .pickupBeats = 3},
            {.bpm = 120, .intro = 1.0, .pickupBeats = 1},
            {.bpm = 125, .intro = 2.3, .pickupBeats = 2, .sampleRate = 48000},
            {.bpm = 128, .intro = 0.7, .pickupBeats = 0},
            {.bpm = 140, .intro = 1.6, .pickupBeats = 3},
        };
        for (const DrumPattern& p : drums) {
            QVERIFY(writeDrums(path("drums.wav"), p));
            const BeatGrid grid = analyseSong(path("drums.wav")).beats;
            QVERIFY2(grid.confident(), qPrintable(QString::number(p.bpm)));
            QCOMPARE_LT(std::abs(grid.bpm / p.bpm - 1), 0.001);
            // The first downbeat, and the last in the song, each within 20 ms.
            const double bar = p.beatsPerBar * p.beatSeconds();
            const double last =
                p.firstDownbeat() + std::floor((p.seconds - p.firstDownbeat()) / bar - 1) * bar;
            for (const double downbeat : {p.firstDownbeat(), last}) {
                const double found = grid.downbeatAtOrAfter(downbeat - p.beatSeconds() / 2);
                QCOMPARE_LT(std::abs(found - downbeat), 0.02);
            }
        }
        // Noise, a held tone and silence have no beat.
        for (const Signal& s : {Signal{.frequency = 0, .seconds = 20, .noise = 0.3},
                                Signal{.frequency = 220, .seconds = 20, .amplitude = 0.3},
                                Signal{.frequency = 0, .seconds = 20}}) {
            QVERIFY(writeWav(path("none.wav"), s));
            const BeatGrid grid = analyseSong(path("none.wav")).beats;
            QVERIFY2(!grid.confident(), qPrintable(QString::number(grid.confidence)));
        }
    }

    void badInput() {
        QVERIFY(writeMp3(path("whole.mp3"), {.seconds = 6}, Mp3Kind::Cbr, 128));
        QVERIFY(QFile::copy(path("whole.mp3"), path("cut.mp3")) &&
                QFile::resize(path("cut.mp3"), QFileInfo(path("whole.mp3")).size() / 2));
        QVERIFY(writeWav(path("silent.wav"), {.frequency = 0, .seconds = 6}));

        const SongAnalysis cut = analyseSong(path("cut.mp3"));
        QVERIFY(cut.ok());
        QVERIFY(cut.seconds > 2.5 && cut.seconds < 6);

        // Silence is a song with nothing to level and nothing to skip.
        const SongAnalysis silent = analyseSong(path("silent.wav"));
        QVERIFY(silent.ok());
        QCOMPARE(std::tuple(silent.loudness, silent.peak, levelGain(silent)),
                 std::tuple(LoudnessFloor, PeakFloor, 0));
        QCOMPARE(songSpan(6, 0, 0, silent), (SongSpan{0, 6}));

        // A stop request ends the work at once, without a result.
        std::atomic<bool> stop{true};
        QVERIFY(!analyseSong(path("whole.mp3"), &stop).ok());
    }

    void cachedAcrossRuns() {
        int decoded = 0;
        const QStringList order{m_songs[2], m_songs[0], m_songs[3], m_songs[1]};
        const auto first = run(order, &decoded);
        QCOMPARE(first.size(), 4);
        for (int i = 0; i < 4; ++i) // the third is missing
            QCOMPARE(std::pair(first[i].first, first[i].second.ok()), std::pair(order[i], i != 2));
        QCOMPARE(decoded, 3);
        QVERIFY(first[0].second.loudness > first[1].second.loudness + 8);

        // Junk of the same size and time in place of a song: the cache answers, no decode.
        const QString song = m_songs[0];
        const QDateTime modified = QFileInfo(song).lastModified();
        // Writes the bytes into the song, then stamps it `later` seconds after its own time.
        const auto rewrite = [&](const QByteArray& bytes, QIODevice::OpenMode mode, int later) {
            QFile f(song);
            return f.open(mode) && f.write(bytes) == bytes.size() && f.flush() &&
                   f.setFileTime(modified.addSecs(later), QFileDevice::FileModificationTime);
        };
        QVERIFY(rewrite(QByteArray(QFileInfo(song).size(), 'x'), QIODevice::ReadWrite, 0));
        QCOMPARE(run({song}, &decoded).value(0).second, first[1].second);
        QCOMPARE(decoded, 0);
        // Once the file changes it is analysed again: the junk now fails, and stays failed.
        QVERIFY(rewrite({}, QIODevice::ReadWrite, 5));
        const auto third = run({song}, &decoded).value(0);
        QCOMPARE(std::tuple(decoded, third.first, third.second.ok()), std::tuple(1, song, false));
        run({song}, &decoded);
        QCOMPARE(decoded, 0);
        // So is a file that grew, its time put back.
        QVERIFY(rewrite("x", QIODevice::Append, 5));
        run({song}, &decoded);
        QCOMPARE(decoded, 1);

        // A beat grid comes back from the cache as it was found.
        QVERIFY(writeDrums(path("beats.wav"), {.seconds = 12}));
        const auto beats = run({path("beats.wav")});
        QCOMPARE(run({path("beats.wav")}, &decoded).value(0).second, beats.value(0).second);
        QCOMPARE(decoded, 0);
    }

    void nextSongsFirstAndStopsPromptly() {
        // Hours of silence (a WAV header on a sparse file) under analysis give way to the
        // song about to play and the next one; destruction does not wait for them either.
        const QString hours = m_dir.filePath("hours.wav");
        // 16-bit stereo at 44.1 kHz, 0xFFFFFF00 bytes of it.
        const QByteArray header("RIFF\x24\xff\xff\xffWAVEfmt \x10\0\0\0\1\0\2\0\x44\xac\0\0"
                                "\x10\xb1\x02\0\4\0\x10\0data\0\xff\xff\xff",
                                44);
        QVERIFY(writeBytes(hours, header) && QFile::resize(hours, 44 + 0xFFFFFF00ll));
        QElapsedTimer timer;
        {
            SongAnalyser analyser(m_dir.filePath("cache-hours"));
            QObject receiver;
            QStringList learnt;
            connect(
                &analyser, &SongAnalyser::analysed, &receiver,
                [&](const QString& path) { learnt << path; }, Qt::QueuedConnection);
            analyser.setOrder({hours});
            QTest::qWait(300);
            analyser.setOrder({m_songs[0], m_songs[1], hours});
            QVERIFY(QTest::qWaitFor([&] { return learnt.size() == 2; }, 10000));
            QCOMPARE(learnt, QStringList({m_songs[0], m_songs[1]}));
            timer.start();
        }
        QCOMPARE_LT(timer.elapsed(), 5000);
    }

    void damagedCacheRebuilt() {
        const QString cacheFile = AnalysisCache(m_cacheDir).filePath();
        run({m_songs[1]});
        const QByteArray good = readBytes(cacheFile);
        QByteArray outOfRange = good;
        outOfRange[outOfRange.size() - 1] = char(0x7f); // the last value is out of range
        QByteArray oldVersion = good;
        oldVersion[8] = 1; // before the beat grid
        for (const QByteArray& bad : {good.left(good.size() - 3), outOfRange, oldVersion,
                                      QByteArray("not a cache at all"), good + "x"}) {
            QVERIFY(writeBytes(cacheFile, bad));
            AnalysisCache cache(m_cacheDir);
            QCOMPARE((std::pair{cache.load(), cache.size()}), std::pair(false, 0));
            int decoded = 0;
            QVERIFY(run({m_songs[1]}, &decoded).value(0).second.ok());
            QCOMPARE(decoded, 1);  // ignored, analysed anew
            QVERIFY(cache.load()); // and written whole again
        }
        // A named pipe in its place is no cache (a reader would wait on it for good).
        QVERIFY(QFile::remove(cacheFile) && ::mkfifo(QFile::encodeName(cacheFile), 0600) == 0);
        QCOMPARE(run({m_songs[1]}).size(), 1);
        AnalysisCache cache(m_cacheDir);
        QVERIFY(cache.load());
        // A full disk leaves the file as it was, and says why.
        const QByteArray saved = readBytes(cacheFile);
        cache.insert(m_songs[0], AnalysisCache::keyOf(m_songs[0]), analyseSong(m_songs[0]));
        {
            FileSizeLimit full(10);
            QCOMPARE(cache.save(), cacheFile + ": File too large");
        }
        QCOMPARE(readBytes(cacheFile), saved);
        // Entries of files that are gone leave it as the next run starts.
        QVERIFY(QFile::copy(m_songs[1], path("gone.mp3")));
        run({path("gone.mp3")});
        QVERIFY(cache.load() && cache.paths().contains(path("gone.mp3")));
        QVERIFY(QFile::remove(path("gone.mp3")));
        run({m_songs[1]});
        QVERIFY(cache.load() && !cache.paths().contains(path("gone.mp3")));
    }
};

QTEST_GUILESS_MAIN(TestSongAnalysis)
#include "tst_songanalysis.moc"
