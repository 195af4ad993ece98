// The transition laws, timing, mixer controls and pictures over recording decks; then as
// heard: real Player decks on SDL's disk driver play a tone per song, the mix is measured.

#include "deck/player.h"
#include "playback/transitionpicture.h"
#include "support/audioprobe.h"
#include "support/drums.h"
#include "support/fakedeck.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <ranges>

using namespace volaro::playback;
using namespace volaro::testing;
using namespace volaro::capture;
using namespace volaro::deck;
using namespace volaro::fixtures;

namespace {

const Songs twoSongs{{"/m/a.mp3", 300}, {"/m/b.mp3", 300}};
constexpr double ToneA = 450, ToneB = 990;

using Steps = QList<int>;
constexpr QRgb Red = qRgb(255, 0, 0), Blue = qRgb(0, 0, 255), White = qRgb(255, 255, 255);

// Pixels of `colour` in columns [x0, x1).
int count(const QImage& image, int x0, int x1, QRgb colour) {
    int n = 0;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < image.height(); ++y)
            n += image.pixel(x, y) == colour;
    return n;
}

QImage picture(int type, bool pressed, QSize size = QSize(75, 22)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawTransitionPicture(painter, image.rect(), type, pressed);
    return image;
}

} // namespace

class TestTransitions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_output;
    const DiskCapture m_capture{DiskCapture::pathFromEnvironment()};
    FakeList m_list; // the songs of the test running

    // A WAV of tones played one after the other: {frequency, seconds} pairs.
    QString tones(const QString& name, const QList<std::pair<double, double>>& parts) {
        std::vector<float> joined;
        for (const auto& [frequency, seconds] : parts) {
            const std::vector<float> part = render(probeSpec(frequency, seconds));
            joined.insert(joined.end(), part.begin(), part.end());
        }
        const QString path = m_dir.filePath(name);
        return writeWavSamples(path, joined, ProbeRate, 2) ? path : QString();
    }

    std::unique_ptr<PlaybackEngine> engine() { // a transition of 1 s
        auto e = std::make_unique<PlaybackEngine>(playerDeckFactory(), m_list);
        e->setOutputDevice(m_output);
        return e;
    }

    // The first song alone at full level; the engine set for a `type` transition of `seconds`.
    std::unique_ptr<PlaybackEngine> playingFirst(const QStringList& songs, int seconds, int type) {
        m_list.locations = songs;
        auto e = engine();
        e->play();
        if (!QTest::qWaitFor([&e] { return !e->opening(); }, 10000))
            return nullptr;
        while (e->tmrTransition.isActive()) // at full level at once
            e->tmrTransition_Timer();
        e->setTransitionSeconds(seconds);
        e->setTransitionType(type);
        QTest::qWait(300);
        return e;
    }

    std::vector<float> since(int64_t mark) const {
        return m_capture.read(mark, m_capture.frames() - mark);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_output = Player::outputNames().value(0);
        QVERIFY2(!m_output.isEmpty(), "no audio output (SDL disk driver expected)");
        // The device opens with the first deck; the capture file exists from then on.
        Player warm;
        warm.setFilename(tones("warm.wav", {{ToneA, 1}}));
        warm.setOutputDevice(m_output);
        QCOMPARE(warm.OpenFile(), 0);
        QVERIFY2(m_capture.waitFor(ProbeRate / 10), "the disk driver writes nothing");
    }

    void crossDissolveFollowsTheVolumeLaw() {
        auto e = playingFirst({tones("a.wav", {{ToneA, 10}}), tones("b.wav", {{ToneB, 10}})}, 3, 0);
        QVERIFY(e);
        // Next; the mix heard from there until 0.3 s after the transition closed.
        const int64_t mark = m_capture.frames();
        e->next();
        QVERIFY(
            QTest::qWaitFor([&] { return !e->opening() && !e->tmrTransition.isActive(); }, 10000));
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> out = probeDecibels(heard, ToneA);
        const std::vector<double> in = probeDecibels(heard, ToneB);

        // a_in + a_out = 85 at every step, through -(a*a)/100 dB, where both are well heard.
        int checked = 0;
        for (size_t w = 0; w < out.size(); ++w) {
            if (out[w] < -30 || in[w] < -30)
                continue;
            const double aOut = std::sqrt(-out[w] * 100.0);
            const double law = -((85 - aOut) * (85 - aOut)) / 100.0;
            QCOMPARE_LT(std::abs(in[w] - law), 1.0);
            ++checked;
        }
        QCOMPARE_GE(checked, 15);
        // The fade takes about the transition time and ends with B alone at full level.
        const FadeMarks m = measureFade(heard, ToneA, ToneB);
        QVERIFY(m.inHeard >= 0 && m.outGone > m.inHeard);
        const double seconds = double(m.outGone - m.inHeard) / ProbeRate;
        QCOMPARE_LT(std::abs(seconds - 3.1), 0.4);
        QVERIFY(std::abs(in.back()) < 0.2);
        QVERIFY(out.back() < -100);
    }

    void trimsShiftStartAndEndPoints() {
        // With a second cut from each end only the middle tone sounds, until the next song.
        m_list.locations = QStringList{tones("trimmed.wav", {{300, 1}, {ToneA, 4}, {600, 1}}),
                                       tones("b.wav", {{ToneB, 10}})};
        auto e = engine();
        e->setCutFirst(1);
        e->setCutLast(1);
        const int64_t mark = m_capture.frames();
        e->play();
        QTRY_VERIFY_WITH_TIMEOUT(e->currentIndex() == 2 && !e->tmrTransition.isActive(), 15000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        QCOMPARE_LT(std::ranges::max(probeDecibels(heard, 300)), -40.0);
        QCOMPARE_LT(std::ranges::max(probeDecibels(heard, 600)), -40.0);
        // From the start point to the next song: 2.4 s (3.5 s rounds to the transition
        // point 4) to 4 s; both fade in alike, so their -20 dB crossings are as far apart.
        const int64_t aFrom = toneStart(heard, 2, 0, ProbeRate, ToneA, 0.05, ProbeWindow);
        const int64_t bFrom = toneStart(heard, 2, 0, ProbeRate, ToneB, 0.05, ProbeWindow);
        QVERIFY(aFrom >= 0 && bFrom > aFrom);
        const double played = double(bFrom - aFrom) / ProbeRate;
        QVERIFY2(played > 2.2 && played < 3.2, qPrintable(QString::number(played)));
    }
    void lawTable_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("master");
        QTest::addColumn<Steps>("steps"); // triples: step s, incoming level, outgoing level
        QTest::newRow("CD 85") << 0 << 85 << Steps{1, 84, 1, 42, 43, 42, 85, 0, 85};
        QTest::newRow("CD 60") << 0 << 60 << Steps{1, 84, 26, 30, 55, 55, 60, 25, 85};
        QTest::newRow("UD 85") << 1 << 85 << Steps{1, 83, 0, 42, 1, 0, 43, 1, 1, 85, 1, 85};
        QTest::newRow("UD 60") << 1 << 60 << Steps{1, 83, 25, 30, 25, 25, 31, 25, 27, 60, 25, 85};
        QTest::newRow("DU 85") << 2 << 85 << Steps{1, 85, 2, 42, 85, 84, 43, 84, 84, 85, 0, 84};
        QTest::newRow("DU 60") << 2 << 60 << Steps{1, 85, 27, 30, 85, 85, 31, 83, 85, 60, 25, 85};
        QTest::newRow("Mix 85") << 3 << 85 << Steps{1, 0, 0};
        QTest::newRow("Mix 60") << 3 << 60 << Steps{1, 25, 25, 30, 25, 25, 60, 25, 25};
        QTest::newRow("Cut 85") << 4 << 85 << Steps{1, 0, 85};
        QTest::newRow("Cut 60") << 4 << 60 << Steps{1, 25, 85, 30, 25, 85, 60, 25, 85};
    }

    void lawTable() {
        QFETCH(int, type);
        QFETCH(int, master);
        QFETCH(Steps, steps);
        Rig rig(twoSongs, master);
        PlaybackEngine& e = rig.playing().e();
        e.setTransitionType(type);
        e.next();
        FakeDeck* out = rig.outgoing();
        FakeDeck* in = rig.incoming();
        QCOMPARE(rig.levels(), QList<int>({85, 85 - master})); // the loader starts it silent
        QCOMPARE(in->volume, -7225);
        const auto stops = [&] { return rig.park.callsOf(out->serial).count("stop"); };
        const int stopsBefore = stops();

        for (int s = 1; s <= master; ++s) {
            e.tmrTransition_Timer();
            if (type == 4)
                QCOMPARE(stops(), stopsBefore + s); // Cut stops the outgoing deck at every tick
            else
                QVERIFY2(out->playing, "the outgoing song plays until the closing tick");
            for (qsizetype row = 0; row < steps.size(); row += 3) {
                if (steps[row] != s)
                    continue;
                const int inLevel = steps[row + 1], outLevel = steps[row + 2];
                QCOMPARE(rig.levels(), QList<int>({inLevel, outLevel}));
                // The decks hear the law through the volume curve -(a*a) hundredths of a dB.
                QCOMPARE(in->volume, -(inLevel * inLevel));
                QCOMPARE(out->volume, -(outLevel * outLevel));
            }
        }

        // The closing tick only stops the outgoing deck: no level moves, the Player stays.
        const QList<int> levels = rig.levels();
        e.tmrTransition_Timer();
        QVERIFY(!e.tmrTransition.isActive());
        QCOMPARE(e.transitionStep(), 0);
        QVERIFY(!out->playing && in->playing);
        QCOMPARE(rig.park.callsOf(out->serial).last(), QStringLiteral("stop"));
        QCOMPARE(rig.levels(), levels);
        QCOMPARE(rig.outgoing(), out);
        if (type == 4)
            QCOMPARE(stops(), stopsBefore + master + 1);
    }

    void intervalComputation() {
        // seconds, master level, interval (-1: none, the timer keeps the one it had). Beyond
        // the old 65,535 ms timer limit the computed interval is used as it is.
        const std::tuple<int, int, int> cases[] = {
            {1, 85, 11},   {5, 85, 58},    {8, 85, 94},      {100, 85, 1176},
            {10, 60, 166}, {66, 1, 66000}, {500, 2, 250000}, {2147483647, 1, 2147483647},
            {5, 0, -1}};
        for (const auto& [seconds, master, expected] : cases) {
            QCOMPARE(PlaybackEngine::transitionInterval(seconds, master),
                     expected < 0 ? std::nullopt : std::optional<int>(expected));
            if (seconds > PlaybackEngine::MaxTransitionSeconds)
                continue;
            Rig rig(twoSongs, master);
            rig.e().setTransitionSeconds(seconds);
            rig.e().play();
            QCOMPARE(rig.e().tmrTransition.interval(), expected < 0 ? 100 : expected);
            QCOMPARE(rig.e().tmrTransition.timerType(), Qt::PreciseTimer);
        }
    }

    void controlsAreReadAtEachTick() {
        Rig rig(twoSongs, 85);
        PlaybackEngine& e = rig.playing().e();
        e.next();
        for (int s = 1; s <= 20; ++s)
            e.tmrTransition_Timer();
        const int interval = e.tmrTransition.interval();
        // The incoming deck jumps to the new master level at once, the other stays...
        e.setMasterLevel(50);
        QCOMPARE(rig.levels(), QList<int>({35, 20}));
        QCOMPARE(rig.incoming()->volume, -1225);
        QCOMPARE(e.tmrTransition.interval(), interval); // computed once per transition
        // ...and the law goes on with the new V: out = (85 - 50) + s.
        e.tmrTransition_Timer();
        QCOMPARE(rig.levels(), QList<int>({85 - 21, 35 + 21}));
        // A new type takes over at the next tick, not before.
        e.setTransitionType(4);
        QCOMPARE(rig.levels(), QList<int>({64, 56}));
        e.tmrTransition_Timer();
        QCOMPARE(rig.levels(), QList<int>({35, 85}));
        QVERIFY(!rig.outgoing()->playing);
        // Lowering V below the step reached closes the transition at the next tick.
        e.setTransitionType(0);
        e.setMasterLevel(10);
        e.tmrTransition_Timer();
        QVERIFY(!e.tmrTransition.isActive());
    }

    void controlsRefuseOutsiders() {
        Rig rig({{"/m/1.mp3", 200}}, 85);
        PlaybackEngine& e = rig.e();
        QSignalSpy changes(&e, &PlaybackEngine::masterLevelChanged);
        QVERIFY(e.setMasterLevel(85)); // the value it holds: accepted, nothing moves
        QVERIFY(!e.setMasterLevel(86) && !e.setMasterLevel(-1) && !e.setMasterLevel(1ll << 40));
        QVERIFY(!e.setTransitionType(5) && !e.setTransitionType(-1));
        QVERIFY(!e.setCutFirst(101) && !e.setCutLast(-1));
        QVERIFY(!e.setTransitionSeconds(0) && !e.setTransitionSeconds(101));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(QList<int>({e.masterLevel(), static_cast<int>(e.transitionType()), e.cutFirst(),
                             e.cutLast(), e.transitionSeconds()}),
                 QList<int>({85, 0, 0, 0, 1}));
    }

    void beatsMatchedAsHeard() {
        // 120 BPM into 125 BPM, each with a hi-hat of its own pitch to tell them apart.
        const DrumPattern a{
            .bpm = 120, .seconds = 20, .intro = 1.0, .pickupBeats = 1, .hihatHz = 7000};
        const DrumPattern b{
            .bpm = 125, .seconds = 32, .intro = 0.7, .pickupBeats = 2, .hihatHz = 9500};
        const QStringList songs{m_dir.filePath("a-drums.wav"), m_dir.filePath("b-drums.wav")};
        QVERIFY(writeDrums(songs[0], a) && writeDrums(songs[1], b));
        const SongAnalysis analysed[] = {analyseSong(songs[0]),
                                         analyseSong(songs[1])}; // their beats
        QVERIFY(analysed[0].beats.confident() && analysed[1].beats.confident());
        auto e = playingFirst(songs, 4, 0); // two bars of the outgoing song
        QVERIFY(e);
        e->setSoundLookup(
            [&](const QString& path) { return std::optional(analysed[path != songs[0]]); });
        e->setMatchBeats(true);
        e->seek(11); // the plan, at 14 s, comes soon: the transition starts at 15.5 s
        const int64_t mark = m_capture.frames();
        QVERIFY(QTest::qWaitFor([&] { return e->currentIndex() == 2; }, 15000));
        // The overlap, then eight bars back to its own tempo and a few more of it.
        const double overlapSeconds = 4.0, settled = overlapSeconds + 8 * 4 * 0.48 + 1;
        QVERIFY(QTest::qWaitFor(
            [&] { return m_capture.frames() > mark + int64_t((4.5 + settled + 4) * ProbeRate); },
            60000));
        const auto heard = since(mark);
        // Onsets down to -46 dB of the hi-hats: deep into the fades.
        const auto outs = toneOnsets(heard, 2, 0, ProbeRate, a.hihatHz, 0.001);
        const auto ins = toneOnsets(heard, 2, 0, ProbeRate, b.hihatHz, 0.001);
        QVERIFY(!ins.empty() && outs.size() > 4);
        const auto level = [&](double t, double frequency, double seconds) {
            const auto from = static_cast<size_t>(std::max(0.0, t) * ProbeRate) * 2;
            const std::vector<float> part(heard.begin() + from,
                                          heard.begin() + from + size_t(seconds * ProbeRate) * 2);
            return toneAmplitude(part, 2, 0, ProbeRate, frequency);
        };
        // The transition starts on the last outgoing beat heard at full level: a downbeat
        // (its kick is the loud one). The next beat is already 1 dB down the fade.
        double full = 0, start = -1;
        for (double t : outs)
            full = std::max(full, level(t, a.hihatHz, 0.01));
        for (double t : outs)
            if (t < ins.front() && level(t, a.hihatHz, 0.01) > 0.97 * full)
                start = t;
        QVERIFY(start > 0.5);
        QCOMPARE_GT(level(start, 80, 0.03), 1.5 * level(start - 0.5, 80, 0.03));
        const auto nearestOut = [&](double t) {
            return std::ranges::min(
                outs | std::views::transform([t](double o) { return std::abs(o - t); }));
        };
        // While both are heard, every incoming beat falls on an outgoing one.
        int checked = 0;
        for (double t : ins) {
            if (t > std::min(start + overlapSeconds, outs.back() + 0.1))
                break;
            QCOMPARE_LT(nearestOut(t), 0.015);
            ++checked;
        }
        QCOMPARE_GE(checked, 4);
        // Its pitch is its own: the hi-hat at 9500 Hz, not 120/125 of it.
        QCOMPARE_GT(level(start + 1, 9500, 2), 4 * level(start + 1, 9500 * 0.96, 2));
        // Eight bars after the overlap the beat is its own again.
        std::vector<double> late = ins;
        std::erase_if(late, [&](double t) { return t <= start + settled; });
        QVERIFY(late.size() >= 6);
        const double period = (late.back() - late.front()) / double(late.size() - 1);
        QCOMPARE_LT(std::abs(period / b.beatSeconds() - 1), 0.01);
    }

    void picturesShowTheCurves() {
        for (int type = 0; type < TransitionTypeCount; ++type) {
            const QImage image = picture(type, false);
            // Outgoing red on the left, incoming blue on the right.
            QVERIFY(count(image, 3, 15, Red) > count(image, 3, 15, Blue));
            QVERIFY(count(image, 60, 72, Blue) > count(image, 60, 72, Red));
            if (type == 2 || type == 4) { // a white dip / a thin gap between two blocks
                QVERIFY(count(image, 34, 41, White) > 0);
                QCOMPARE(count(image, 37, 38, Red) + count(image, 37, 38, Blue), 0);
            } else { // crossing diagonals, long overlap, hatched block: the middle holds both
                QVERIFY(count(image, 34, 41, Red) > 0 && count(image, 34, 41, Blue) > 0);
            }
            for (int other = 0; other < type; ++other)
                QVERIFY(picture(other, false) != image);
            QVERIFY(count(picture(type, true), 0, 75, White) < count(image, 0, 75, White));
        }
        // Odd sizes and types draw what they can.
        QCOMPARE(picture(0, false, QSize(3, 3)).pixel(1, 1), qRgb(0, 0, 0));
        QCOMPARE(count(picture(9, false), 0, 75, Red), 0);
        QVERIFY(count(picture(2, true, QSize(600, 176)), 10, 100, Red) > 0);
    }
};

QTEST_MAIN(TestTransitions)
#include "tst_transitions.moc"
