// Transitions as heard: real Player decks on SDL's disk driver play generated tones (one
// frequency per song) and the captured mix is measured.

#include "audioprobe.h"
#include "fakes.h"
#include "player.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace volaro::playback;
using namespace volaro::playback::testing;
using namespace volaro::capture;

namespace {

constexpr double ToneA = 450;
constexpr double ToneB = 990;
constexpr double ToneC = 660;

} // namespace

class TestAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_output;
    std::unique_ptr<DiskCapture> m_capture;

    QString tone(const QString& name, double frequency, double seconds) {
        const QString path = m_dir.filePath(name);
        if (!writeProbeTone(path, frequency, seconds))
            return {};
        return path;
    }

    std::unique_ptr<PlaybackEngine> engine(FakeList& list) {
        auto e = std::make_unique<PlaybackEngine>(playerDeckFactory(), &list);
        e->cmbOutputDevices_Click(m_output);
        e->vscVolume[0].setValue(85);
        e->vscVolume[1].setValue(85);
        e->hscVolume.setValue(85);
        e->hscVolume_Change();
        return e;
    }

    // Song A playing alone at full level, with the engine ready for a transition of
    // `seconds` of type `type` to song B.
    std::unique_ptr<PlaybackEngine> playingA(FakeList& list, int seconds, int type) {
        auto e = engine(list);
        e->TransitionTime = 0; // A starts at full level at once
        e->btnPlay_Click();
        e->TransitionTime = seconds;
        e->optTransition.setValue(type);
        QTest::qWait(300);
        return e;
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
        warm.setFilename(tone("warm.wav", ToneA, 1));
        warm.setOutputDevice(m_output);
        QCOMPARE(warm.OpenFile(), 0);
        m_capture = std::make_unique<DiskCapture>(DiskCapture::pathFromEnvironment());
        QVERIFY2(m_capture->waitFor(ProbeRate / 10), "the disk driver writes nothing");
    }

    void orderPlayWrapsAround() {
        FakeList list({tone("1.wav", ToneA, 3), tone("2.wav", ToneC, 3), tone("3.wav", ToneB, 3)});
        auto e = engine(list);
        e->TransitionTime = 1;
        const int64_t mark = m_capture->frames();
        e->btnPlay_Click();
        QTRY_VERIFY_WITH_TIMEOUT(list.shown.size() >= 4, 15000);
        QTest::qWait(1500); // the last song past the middle of its fade-in
        QCOMPARE(list.shown.mid(0, 4), QList<int>({1, 2, 3, 1}));
        QCOMPARE(list.subItem(2, 9), QStringLiteral("3"));
        const QList<double> heard = dominantTones(since(mark), {ToneA, ToneB, ToneC});
        QCOMPARE(heard.mid(0, 4), QList<double>({ToneA, ToneC, ToneB, ToneA}));
        e->btnStop_Click();
    }

    void crossDissolveFollowsTheVolumeLaw() {
        FakeList list({tone("a.wav", ToneA, 10), tone("b.wav", ToneB, 10)});
        auto e = playingA(list, 3, 0);
        const int64_t before = m_capture->frames();
        QTest::qWait(200);
        const std::vector<float> alone = since(before);
        QVERIFY(std::abs(decibels(probeLevel(alone, 0, ToneA), ProbeAmplitude)) < 0.2);

        const int64_t mark = m_capture->frames();
        e->btnNext_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> out = probeDecibels(heard, ToneA);
        const std::vector<double> in = probeDecibels(heard, ToneB);

        // At every step a_in + a_out = 85: the incoming level follows from the outgoing
        // one through -(a*a)/100 dB. Checked where both are well above the floor.
        int checked = 0;
        for (size_t w = 0; w < out.size(); ++w) {
            if (out[w] < -30 || in[w] < -30)
                continue;
            const double aOut = std::sqrt(-out[w] * 100.0);
            const double expectedIn = -((85 - aOut) * (85 - aOut)) / 100.0;
            QVERIFY2(std::abs(in[w] - expectedIn) < 1.0,
                     qPrintable(QStringLiteral("window %1: out %2 dB, in %3 dB, law %4 dB")
                                    .arg(w)
                                    .arg(out[w])
                                    .arg(in[w])
                                    .arg(expectedIn)));
            ++checked;
        }
        qInfo("law checked in %d windows", checked);
        QVERIFY2(checked >= 15, qPrintable(QString::number(checked)));
        // The fade takes about the transition time and ends with B alone at full level.
        const FadeMarks m = measureFade(heard, ToneA, ToneB);
        QVERIFY(m.inHeard >= 0 && m.outGone > m.inHeard);
        const double seconds = double(m.outGone - m.inHeard) / ProbeRate;
        qInfo("3 s cross dissolve heard for %.3f s", seconds);
        QVERIFY2(seconds > 2.7 && seconds < 3.5, qPrintable(QString::number(seconds)));
        QVERIFY(std::abs(in.back()) < 0.2);
        QVERIFY(out.back() < -100);
        e->btnStop_Click();
    }

    void cutSwitchesAtTheFirstTick() {
        FakeList list({tone("a.wav", ToneA, 10), tone("b.wav", ToneB, 10)});
        auto e = playingA(list, 2, 4);
        const int64_t mark = m_capture->frames();
        e->btnNext_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const FadeMarks m = measureFade(heard, ToneA, ToneB);
        QVERIFY(m.inHeard >= 0 && m.inFull >= 0 && m.outGone >= 0);
        // B starts silent and is at full level one 23 ms tick later (window slop
        // allowed), long before the 2 s of the transition; A stops there.
        const double switchAfter = double(m.inFull - m.inHeard) / ProbeRate;
        QVERIFY2(switchAfter < 0.12, qPrintable(QString::number(switchAfter)));
        const double gap = double(m.outGone - m.inFull) / ProbeRate;
        qInfo("cut: full after %.3f s, outgoing gone %.3f s from there", switchAfter, gap);
        QVERIFY2(std::abs(gap) < 0.1, qPrintable(QString::number(gap)));
        e->btnStop_Click();
    }

    void downUpHasItsDip() {
        FakeList list({tone("a.wav", ToneA, 10), tone("b.wav", ToneB, 10)});
        auto e = playingA(list, 2, 2);
        const int64_t mark = m_capture->frames();
        e->btnNext_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> out = probeDecibels(heard, ToneA);
        const std::vector<double> in = probeDecibels(heard, ToneB);
        // Somewhere in the middle both songs are far down at once (a = 84 / 85 at the
        // turn); with a Cross Dissolve they never are.
        double deepest = 0;
        size_t at = 0;
        for (size_t w = 0; w < out.size(); ++w) {
            const double louder = std::max(out[w], in[w]);
            if (louder < deepest) {
                deepest = louder;
                at = w;
            }
        }
        qInfo("dip: %.1f dB at %.2f s", deepest, at / 30.0);
        QVERIFY2(deepest < -50, qPrintable(QString::number(deepest)));
        QVERIFY(at > 15 && at < 50); // around 1 s into the 2 s transition
        QVERIFY(std::abs(in.back()) < 0.2);
        e->btnStop_Click();
    }

    void mixPlaysBothAtMasterLevel() {
        FakeList list({tone("a.wav", ToneA, 10), tone("b.wav", ToneB, 10)});
        auto e = playingA(list, 2, 3);
        e->hscVolume.setValue(60); // -6.25 dB
        QTest::qWait(150);
        const int64_t mark = m_capture->frames();
        e->btnNext_Click();
        QTest::qWait(1200);
        const std::vector<float> during = since(mark);
        const std::vector<double> out = probeDecibels(during, ToneA);
        const std::vector<double> in = probeDecibels(during, ToneB);
        // From the first tick on both play at the master level for the whole transition.
        int both = 0;
        for (size_t w = 6; w < out.size(); ++w) {
            QVERIFY2(std::abs(out[w] + 6.25) < 0.5, qPrintable(QString::number(out[w])));
            QVERIFY2(std::abs(in[w] + 6.25) < 0.5, qPrintable(QString::number(in[w])));
            ++both;
        }
        QVERIFY(both >= 20);
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> after =
            m_capture->read(m_capture->frames() - ProbeRate / 5, ProbeRate / 5);
        QVERIFY(decibels(probeLevel(after, 0, ToneA), ProbeAmplitude) < -100);
        e->btnStop_Click();
    }

    void pauseAndResume() {
        FakeList list({tone("a.wav", ToneA, 10)});
        auto e = playingA(list, 1, 0);
        e->btnPause_Click();
        QCOMPARE(e->display().lblStatus, QStringLiteral("Pause"));
        QTest::qWait(150);
        const int64_t paused = m_capture->frames();
        QTest::qWait(400);
        QVERIFY(rms(since(paused), 2, 0) < 1e-6);
        const int32_t position = e->deck(e->CurrentDeck)->Position();
        e->btnPause_Click(); // the second press resumes
        QCOMPARE(e->PlayState, 1);
        QTest::qWait(150);
        const int64_t resumed = m_capture->frames();
        QTest::qWait(300);
        QVERIFY(std::abs(decibels(probeLevel(since(resumed), 0, ToneA), ProbeAmplitude)) < 0.3);
        QVERIFY(e->deck(e->CurrentDeck)->Position() - position <= 1);
        e->btnStop_Click();
    }

    void nextDuringTransitionRestartsIt() {
        FakeList list(
            {tone("a.wav", ToneA, 10), tone("b.wav", ToneB, 10), tone("c.wav", ToneC, 10)});
        auto e = playingA(list, 2, 0);
        e->btnNext_Click(); // A fades out, B fades in
        QTest::qWait(1000);
        const int64_t mark = m_capture->frames();
        QVERIFY(e->TransitionStep > 10);
        e->btnNext_Click(); // A stops at once; B now fades out and C fades in
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> a = probeDecibels(heard, ToneA);
        const std::vector<double> b = probeDecibels(heard, ToneB);
        const std::vector<double> c = probeDecibels(heard, ToneC);
        QVERIFY(a.size() > 60);
        // A was heard until the command reached the output (buffer latency), then never:
        // what its bin still reads while B's level steps is their splatter, far below the
        // -17 dB or so A had reached, and nothing once the levels rest.
        const double before = decibels(
            probeLevel(m_capture->read(mark - ProbeWindow, ProbeWindow), 0, ToneA), ProbeAmplitude);
        QVERIFY2(before > -30, qPrintable(QString::number(before)));
        for (size_t w = 6; w < a.size(); ++w)
            QVERIFY2(a[w] < -40, qPrintable(QStringLiteral("window %1: %2 dB").arg(w).arg(a[w])));
        QVERIFY(a.back() < -100);
        // B fades out from step 1 of the restarted transition: back near full level at the
        // first tick, then only falling.
        const double peak = *std::max_element(b.begin(), b.begin() + 6);
        QVERIFY2(peak > -1.0, qPrintable(QString::number(peak)));
        for (size_t w = 8; w < b.size() && b[w] > -40; ++w)
            QVERIFY2(b[w] <= b[w - 2] + 0.5, qPrintable(QStringLiteral("window %1").arg(w)));
        QVERIFY(std::abs(c.back()) < 0.2);
        QVERIFY(b.back() < -100);
        e->btnStop_Click();
    }

    void trimsShiftStartAndEndPoints() {
        // 1 s at 300 Hz, 4 s at 450 Hz, 1 s at 600 Hz: with a second cut from each end
        // only the middle tone may sound, and the next song starts about a transition
        // time before the end point (position 5 s of the file).
        std::vector<float> joined;
        for (const auto& [frequency, seconds] :
             {std::pair{300.0, 1.0}, {ToneA, 4.0}, {600.0, 1.0}}) {
            volaro::fixtures::Signal part;
            part.frequency = frequency;
            part.seconds = seconds;
            part.amplitude = ProbeAmplitude;
            const std::vector<float> samples = volaro::fixtures::render(part);
            joined.insert(joined.end(), samples.begin(), samples.end());
        }
        const QString trimmed = m_dir.filePath("trimmed.wav");
        QVERIFY(volaro::fixtures::writeWavSamples(trimmed, joined, ProbeRate, 2));
        FakeList list({trimmed, tone("b.wav", ToneB, 10)});
        auto e = engine(list);
        e->spinCutFirst.setValue(1);
        e->spinCutLast.setValue(1);
        e->TransitionTime = 1;
        const int64_t mark = m_capture->frames();
        e->btnPlay_Click();
        QCOMPARE(e->SongStart, 1);
        QCOMPARE(e->SongEnd, 5);
        QTRY_VERIFY_WITH_TIMEOUT(e->CurrentIndex == 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!e->tmrTransition.isActive(), 10000);
        QTest::qWait(300);
        const std::vector<float> heard = since(mark);
        const std::vector<double> first = probeDecibels(heard, 300);
        const std::vector<double> last = probeDecibels(heard, 600);
        QVERIFY(*std::max_element(first.begin(), first.end()) < -40);
        QVERIFY(*std::max_element(last.begin(), last.end()) < -40);
        // The middle tone played from the start point until the next song took over:
        // between 2.4 s (position 3.5 s rounds to the transition point 4) and 4 s.
        // Both fade in by the same law, so their -20 dB crossings lie as far apart as
        // their starts.
        const int64_t aFrom = toneStart(heard, 2, 0, ProbeRate, ToneA, 0.05, ProbeWindow);
        const int64_t bFrom = toneStart(heard, 2, 0, ProbeRate, ToneB, 0.05, ProbeWindow);
        QVERIFY(aFrom >= 0 && bFrom > aFrom);
        const double played = double(bFrom - aFrom) / ProbeRate;
        qInfo("middle tone alone for %.2f s before the next song", played);
        QVERIFY2(played > 2.2 && played < 3.2, qPrintable(QString::number(played)));
        e->btnStop_Click();
    }

    void missingSongIsSkipped() {
        FakeList list(
            {tone("a.wav", ToneA, 3), m_dir.filePath("gone.mp3"), tone("c.wav", ToneC, 4)});
        auto e = engine(list);
        e->TransitionTime = 1;
        const int64_t mark = m_capture->frames();
        e->btnPlay_Click();
        QTRY_VERIFY_WITH_TIMEOUT(e->CurrentIndex == 3, 10000);
        QCOMPARE(list.subItem(2, 9), QStringLiteral("0"));
        QTest::qWait(1500);
        const QList<double> heard = dominantTones(since(mark), {ToneA, ToneC});
        QCOMPARE(heard.mid(0, 2), QList<double>({ToneA, ToneC}));
        e->btnStop_Click();
    }
};

QTEST_GUILESS_MAIN(TestAudio)
#include "tst_audio.moc"
