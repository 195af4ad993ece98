// The real window on real decks, heard through SDL's disk driver. No session bus is reachable
// here (see CMakeLists.txt): the player's bus bridge must leave all this as it was.

#include "app/frmplayer.h"
#include "app/mprisbridge.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistfile.h"
#include "support/audiocapture.h"
#include "support/codecfixtures.h"
#include "support/fixtures.h"
#include "support/memorysettingsstore.h"
#include "support/tagfixtures.h"
#include "support/testplayer.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::capture;
using namespace volaro::app;
using volaro::testing::TestPlayer;

namespace {
constexpr int Rate = 44100;
constexpr double Amplitude = 0.5;
constexpr double ToneA = 450, ToneB = 990, ToneC = 660; // on 30 Hz bins: no tone leaks

// Runs the window for `seconds` more of captured sound: a clock a busy machine cannot stretch.
bool playOn(const DiskCapture& capture, double seconds) {
    const int64_t target = capture.frames() + static_cast<int64_t>(seconds * Rate);
    return QTest::qWaitFor([&] { return capture.frames() >= target; },
                           static_cast<int>(seconds * 1000) + 10000);
}

// Amplitude of a tone over the last `seconds` of capture.
double heardLevel(const DiskCapture& capture, double frequency, double seconds) {
    const int64_t end = capture.frames();
    const auto n = static_cast<int64_t>(seconds * Rate);
    return toneAmplitude(capture.read(end - n, n), 2, 0, Rate, frequency);
}
} // namespace

class TestWindowAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    const DiskCapture m_capture{DiskCapture::pathFromEnvironment()};

    // A window with full master volume and the given songs in its list.
    std::unique_ptr<TestPlayer> window(MemorySettingsStore& store, const QStringList& songs) {
        store.values.insert(QStringLiteral("BasicAudio/Volume"), QStringLiteral("85"));
        auto w = std::make_unique<TestPlayer>(store);
        w->Form_Load({QStringLiteral("volaro")});
        for (const QString& s : songs)
            OpenFile(s, false, 0, w->ui().lstClipList->clipModel());
        w->show();
        return w;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }

    void playPauseResumeAndTheDeviceChoice() {
        const QString song = m_dir.filePath("a.wav");
        QVERIFY(volaro::fixtures::writeWav(
            song, {.frequency = ToneA, .seconds = 6, .amplitude = Amplitude}));
        MemorySettingsStore store;
        auto w = window(store, {song});
        QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !w->engine().opening(); }, 10000));
        MprisBridge mpris(*w); // as at start-up, after a song named there began
        QVERIFY(!mpris.published());
        QVERIFY(playOn(m_capture, 1.5)); // the fade-in of one second is over
        QVERIFY2(heardLevel(m_capture, ToneA, 0.3) > 0.8 * Amplitude, "the song is not heard");

        QTest::mouseClick(w->ui().btnPause, Qt::LeftButton);
        QTest::qWait(250); // what the output had already taken is heard out
        const int32_t held = w->engine().deck(w->engine().currentDeck())->Position();
        QTest::qWait(500);
        QVERIFY(heardLevel(m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().deck(w->engine().currentDeck())->Position(), held);

        QTest::mouseClick(w->ui().btnPause, Qt::LeftButton); // resumes
        QTest::qWait(500);
        QVERIFY(heardLevel(m_capture, ToneA, 0.3) > 0.8 * Amplitude);

        // Choosing an output rebuilds both decks: the song falls silent, the state stays.
        emit w->ui().cmbOutputDevices->activated(0);
        QTest::qWait(400);
        QVERIFY(heardLevel(m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().playState(), volaro::playback::PlayState::Playing);
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
        for (QWidget* top : QApplication::topLevelWidgets()) // nothing said about the bus
            QVERIFY(!qobject_cast<QMessageBox*>(top));
        w->close();
        QCOMPARE(store.values.value(QStringLiteral("BasicAudio/Volume")), QStringLiteral("85"));
    }

    void everyKindHeardInTurn() {
        // An .m3u8 list of each FFmpeg kind: each heard after the one before it.
        using namespace volaro::fixtures;
        const double tones[] = {ToneA, ToneC, ToneB, 1320, 1650};
        QByteArray list;
        for (int i = 0; i < 5; ++i) {
            const Codec codec = AllCodecs[i];
            const int rate = codecRate(codec);
            const QString path =
                m_dir.filePath(QStringLiteral("kind%1%2").arg(i).arg(codecSuffix(codec)));
            const Signal s{
                .frequency = tones[i], .seconds = 2.5, .sampleRate = rate, .amplitude = Amplitude};
            QVERIFY(writeEncoded(path, codec, render(s), rate, 2));
            list += path.toUtf8() + "\n";
        }
        QVERIFY(writeBytes(m_dir.filePath("kinds.m3u8"), list));
        MemorySettingsStore store;
        auto w = window(store, {m_dir.filePath("kinds.m3u8")});
        QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
        QVERIFY(m_capture.waitFor(Rate / 10));
        const int64_t mark = m_capture.frames();
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().currentIndex(), int16_t(5), 20000);
        QTest::qWait(1500);
        const auto heard = m_capture.read(mark, m_capture.frames() - mark);
        int64_t last = -1;
        for (double t : tones) {
            const int64_t start = toneStart(heard, 2, 0, Rate, t, 0.25);
            QVERIFY2(start > last, qPrintable(QString("%1 Hz at %2").arg(t).arg(start)));
            last = start;
        }
    }

    void albumsJoinWithoutASeam() {
        // One tone split at an odd sample into tracks 1 and 2 of an album: with Keep Albums Whole
        // one continuous tone. WAV at another rate, FLAC, MP3 (LAME's gapless note); option off.
        using namespace volaro::fixtures;
        const double tone = 441;
        const std::tuple<QString, int, bool> cases[] = {{"wav", 48000, true},
                                                        {"flac", 44100, true},
                                                        {"mp3", 44100, true},
                                                        {"wav", 44100, false}};
        for (const auto& [kind, rate, keepWhole] : cases) {
            const auto whole = render({.frequency = tone, .seconds = 4.5, .sampleRate = rate});
            const size_t split = (rate * 5 / 2 + 137) * 2;
            QStringList songs;
            for (int part : {0, 1}) {
                songs << m_dir.filePath(
                    QString("%1-%2-%3-%4.%1").arg(kind).arg(rate).arg(keepWhole).arg(part));
                const std::vector<float> samples(whole.begin() + (part ? split : 0),
                                                 part ? whole.end() : whole.begin() + split);
                QVERIFY(kind == "mp3"
                            ? writeMp3Samples(songs.last(), samples, rate, 2, Mp3Kind::Cbr, 256)
                            : writeWavSamples(songs.last(), samples, rate, 2));
                QVERIFY(tagSong(songs.last(), {{"ALBUM", "Whole"},
                                               {"ARTIST", "Band"},
                                               {"TRACKNUMBER", QString("%1/2").arg(part + 1)}}));
            }
            MemorySettingsStore store;
            store.values.insert("Extras/KeepAlbumsWhole", keepWhole ? "1" : "0");
            auto w = window(store, songs);
            int64_t second = -1;
            connect(&w->engine(), &volaro::playback::PlaybackEngine::songStarted, w.get(),
                    [&](int row) { second = row == 2 ? m_capture.frames() : second; });
            QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return second >= 0; }, 15000));
            QVERIFY(playOn(m_capture, 0.6));
            // From before the join (shown at most a tick and a period late) to after it.
            const auto around = m_capture.read(second - Rate * 6 / 10, Rate);
            const double seam = impurityDb(around, 2, 0, Rate, tone);
            const QString told = QString("%1 at %2: %3").arg(kind).arg(rate).arg(seam);
            if (!keepWhole) {
                QVERIFY2(seam > -40, qPrintable(told)); // a transition is heard
                continue;
            }
            // A gap or an overlap of a single frame measures near -30 dB here. 16-bit files
            // keep near their own noise; MP3 errs more near a cut each side was coded alone.
            QVERIFY2(seam < (kind == "mp3" ? -50 : -60), qPrintable(told));
            if (kind == "mp3")
                continue; // its coding noise near the cut outsteps a sine's step
            const double toneStep = 0.5 * 2 * M_PI * tone / Rate;
            QVERIFY2(largestStep(around, 2, 0) < toneStep * 1.05 + 0.001,
                     qPrintable(QString::number(largestStep(around, 2, 0))));
        }
    }
};

QTEST_MAIN(TestWindowAudio)
#include "tst_windowaudio.moc"
