// Transitions as heard: real Player decks on SDL's disk driver play generated tones (one
// frequency per song) and the captured mix is measured.

#include "audioprobe.h"
#include "fakedeck.h"
#include "player.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace volaro::playback;
using namespace volaro::testing;
using namespace volaro::capture;

constexpr double ToneA = 450, ToneB = 990;

class TestAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_output;
    std::unique_ptr<DiskCapture> m_capture;
    FakeList m_list; // the songs of the test running

    // A WAV of tones played one after the other: {frequency, seconds} pairs.
    QString tones(const QString& name, const QList<std::pair<double, double>>& parts) {
        std::vector<float> joined;
        for (const auto& [frequency, seconds] : parts) {
            const std::vector<float> part = volaro::fixtures::render(probeSpec(frequency, seconds));
            joined.insert(joined.end(), part.begin(), part.end());
        }
        const QString path = m_dir.filePath(name);
        return volaro::fixtures::writeWavSamples(path, joined, ProbeRate, 2) ? path : QString();
    }

    std::unique_ptr<PlaybackEngine> engine() { // a transition of 1 s
        auto e = std::make_unique<PlaybackEngine>(playerDeckFactory(), m_list);
        e->setOutputDevice(m_output);
        return e;
    }

    // Song A playing alone at full level, with the engine ready for a transition of
    // `seconds` of type `type` to song B.
    std::unique_ptr<PlaybackEngine> playingA(int seconds, int type) {
        m_list.locations = {tones("a.wav", {{ToneA, 10}}), tones("b.wav", {{ToneB, 10}})};
        auto e = engine();
        e->play();
        while (e->tmrTransition.isActive()) // A at full level at once
            e->tmrTransition_Timer();
        e->setTransitionSeconds(seconds);
        e->setTransitionType(type);
        QTest::qWait(300);
        return e;
    }

    // Next from song A; the mix heard from there until 0.3 s after the transition closed.
    std::vector<float> heardNext(PlaybackEngine& e) {
        const int64_t mark = m_capture->frames();
        e.next();
        if (!QTest::qWaitFor([&e] { return !e.tmrTransition.isActive(); }, 10000))
            return {};
        QTest::qWait(300);
        return since(mark);
    }

    std::vector<float> since(int64_t mark) const {
        return m_capture->read(mark, m_capture->frames() - mark);
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
        m_capture = std::make_unique<DiskCapture>(DiskCapture::pathFromEnvironment());
        QVERIFY2(m_capture->waitFor(ProbeRate / 10), "the disk driver writes nothing");
    }

    void crossDissolveFollowsTheVolumeLaw() {
        auto e = playingA(3, 0);
        const int64_t before = m_capture->frames();
        QTest::qWait(200);
        QVERIFY(std::abs(decibels(probeLevel(since(before), 0, ToneA), ProbeAmplitude)) < 0.2);
        const std::vector<float> heard = heardNext(*e);
        QVERIFY(!heard.empty());
        const std::vector<double> out = probeDecibels(heard, ToneA);
        const std::vector<double> in = probeDecibels(heard, ToneB);

        // a_in + a_out = 85 at every step, through -(a*a)/100 dB, where both are well heard.
        int checked = 0;
        for (size_t w = 0; w < out.size(); ++w) {
            if (out[w] < -30 || in[w] < -30)
                continue;
            const double aOut = std::sqrt(-out[w] * 100.0);
            const double law = -((85 - aOut) * (85 - aOut)) / 100.0;
            QVERIFY2(std::abs(in[w] - law) < 1.0,
                     qPrintable(QString("%1: %2").arg(in[w]).arg(law)));
            ++checked;
        }
        QVERIFY2(checked >= 15, qPrintable(QString::number(checked)));
        // The fade takes about the transition time and ends with B alone at full level.
        const FadeMarks m = measureFade(heard, ToneA, ToneB);
        QVERIFY(m.inHeard >= 0 && m.outGone > m.inHeard);
        const double seconds = double(m.outGone - m.inHeard) / ProbeRate;
        QVERIFY2(seconds > 2.7 && seconds < 3.5, qPrintable(QString::number(seconds)));
        QVERIFY(std::abs(in.back()) < 0.2);
        QVERIFY(out.back() < -100);
        e->stop();
    }

    void cutSwitchesAtTheFirstTick() {
        auto e = playingA(2, 4);
        const FadeMarks m = measureFade(heardNext(*e), ToneA, ToneB);
        QVERIFY(m.inHeard >= 0 && m.inFull >= 0 && m.outGone >= 0);
        // B is at full level one 23 ms tick after it starts, long before 2 s; A stops there.
        const double switchAfter = double(m.inFull - m.inHeard) / ProbeRate;
        QVERIFY2(switchAfter < 0.12, qPrintable(QString::number(switchAfter)));
        const double gap = double(m.outGone - m.inFull) / ProbeRate;
        QVERIFY2(std::abs(gap) < 0.1, qPrintable(QString::number(gap)));
        e->stop();
    }

    void downUpHasItsDip() {
        auto e = playingA(2, 2);
        const std::vector<float> heard = heardNext(*e);
        const std::vector<double> out = probeDecibels(heard, ToneA);
        const std::vector<double> in = probeDecibels(heard, ToneB);
        QVERIFY(!in.empty());
        // Around the turn both songs are far down at once (a = 84 / 85).
        double deepest = 0;
        size_t at = 0;
        for (size_t w = 0; w < out.size(); ++w)
            if (std::max(out[w], in[w]) < deepest)
                deepest = std::max(out[w], in[w]), at = w;
        QVERIFY2(deepest < -50, qPrintable(QString::number(deepest)));
        QVERIFY(at > 15 && at < 50); // around 1 s into the 2 s transition
        QVERIFY(std::abs(in.back()) < 0.2);
        e->stop();
    }

    void mixPlaysBothAtMasterLevel() {
        auto e = playingA(2, 3);
        e->setMasterLevel(60); // -6.25 dB
        QTest::qWait(150);
        const int64_t mark = m_capture->frames();
        e->next();
        QTest::qWait(1200);
        const std::vector<float> during = since(mark);
        const std::vector<double> out = probeDecibels(during, ToneA);
        const std::vector<double> in = probeDecibels(during, ToneB);
        // From the first tick on both play at the master level for the whole transition.
        QVERIFY(out.size() >= 26);
        for (size_t w = 6; w < out.size(); ++w) {
            QVERIFY2(std::abs(out[w] + 6.25) < 0.5, qPrintable(QString::number(out[w])));
            QVERIFY2(std::abs(in[w] + 6.25) < 0.5, qPrintable(QString::number(in[w])));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> after = since(m_capture->frames() - ProbeRate / 5);
        QVERIFY(decibels(probeLevel(after, 0, ToneA), ProbeAmplitude) < -100);
        e->stop();
    }

    void trimsShiftStartAndEndPoints() {
        // With a second cut from each end only the middle tone sounds, until the next song.
        m_list.locations = QStringList{tones("trimmed.wav", {{300, 1}, {ToneA, 4}, {600, 1}}),
                                       tones("b.wav", {{ToneB, 10}})};
        auto e = engine();
        e->setCutFirst(1);
        e->setCutLast(1);
        const int64_t mark = m_capture->frames();
        e->play();
        QCOMPARE(e->songStart(), 1);
        QCOMPARE(e->songEnd(), 5);
        QTRY_VERIFY_WITH_TIMEOUT(e->currentIndex() == 2 && !e->tmrTransition.isActive(), 15000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> first = probeDecibels(heard, 300);
        const std::vector<double> last = probeDecibels(heard, 600);
        QVERIFY(*std::max_element(first.begin(), first.end()) < -40);
        QVERIFY(*std::max_element(last.begin(), last.end()) < -40);
        // From the start point to the next song: 2.4 s (3.5 s rounds to the transition
        // point 4) to 4 s; both fade in alike, so their -20 dB crossings are as far apart.
        const int64_t aFrom = toneStart(heard, 2, 0, ProbeRate, ToneA, 0.05, ProbeWindow);
        const int64_t bFrom = toneStart(heard, 2, 0, ProbeRate, ToneB, 0.05, ProbeWindow);
        QVERIFY(aFrom >= 0 && bFrom > aFrom);
        const double played = double(bFrom - aFrom) / ProbeRate;
        QVERIFY2(played > 2.2 && played < 3.2, qPrintable(QString::number(played)));
        e->stop();
    }
};

QTEST_GUILESS_MAIN(TestAudio)
#include "tst_audio.moc"
