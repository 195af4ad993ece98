// The real window playing generated tones on real decks, with the mix captured from SDL's
// disk driver: what the user hears after pressing the buttons.

#include "audiocapture.h"
#include "cliplistview.h"
#include "fixtures.h"
#include "frmplayer.h"
#include "memorysettingsstore.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::capture;

namespace {
constexpr int Rate = 44100;
constexpr double Amplitude = 0.5;
constexpr double ToneA = 450; // on exact 30 Hz bins: one tone never leaks into another's
constexpr double ToneB = 990;
constexpr double ToneC = 660;

// Amplitude of a tone over the last `seconds` of capture.
double heardLevel(const DiskCapture& capture, double frequency, double seconds) {
    const int64_t end = capture.frames();
    const auto n = static_cast<int64_t>(seconds * Rate);
    return toneAmplitude(capture.read(end - n, n), 2, 0, Rate, frequency);
}
// Lets the window's timers run while the device plays on for `seconds`.
void listen(double seconds) {
    QTest::qWait(static_cast<int>(seconds * 1000));
}
} // namespace

class TestWindowAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    std::unique_ptr<DiskCapture> m_capture;

    QString tone(const QString& name, double frequency, double seconds) {
        volaro::fixtures::Signal s;
        s.frequency = frequency;
        s.seconds = seconds;
        s.amplitude = Amplitude;
        const QString path = m_dir.filePath(name);
        return volaro::fixtures::writeWav(path, s) ? path : QString();
    }

    // A window with full master volume and the given songs in its list.
    std::unique_ptr<frmPlayer> window(MemorySettingsStore& store, const QStringList& songs) {
        store.values.insert(QStringLiteral("BasicAudio/Volume"), QStringLiteral("85"));
        auto w = std::make_unique<frmPlayer>(store);
        w->Form_Load({QStringLiteral("volaro")});
        for (const QString& s : songs)
            OpenFile(s, false, 0, *w->ui().lstClipList);
        w->show();
        return w;
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QVERIFY(m_dir.isValid());
    }

    void playPauseResumeAndTheDeviceChoice() {
        MemorySettingsStore store;
        auto w = window(store, {tone("a.wav", ToneA, 6)});
        m_capture = std::make_unique<DiskCapture>(DiskCapture::pathFromEnvironment());
        QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
        QVERIFY(m_capture->waitFor(Rate / 10));
        listen(1.5); // the fade-in of one second is over
        QVERIFY2(heardLevel(*m_capture, ToneA, 0.3) > 0.8 * Amplitude, "the song is not heard");

        QTest::mouseClick(w->ui().btnPause, Qt::LeftButton);
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Pause"));
        const int32_t held = w->engine().deck(w->engine().CurrentDeck)->Position();
        listen(0.5);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().deck(w->engine().CurrentDeck)->Position(), held);

        QTest::mouseClick(w->ui().btnPause, Qt::LeftButton); // resumes
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
        listen(0.5);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) > 0.8 * Amplitude);

        // Choosing an output rebuilds both decks: the song falls silent, the state stays.
        emit w->ui().cmbOutputDevices->activated(0);
        listen(0.4);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().PlayState, int16_t(1));
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
    }

    void songsFollowInOrderAndRepeat() {
        MemorySettingsStore store;
        auto w = window(
            store, {tone("1.wav", ToneA, 3), tone("2.wav", ToneC, 3), tone("3.wav", ToneB, 3)});
        m_capture = std::make_unique<DiskCapture>(DiskCapture::pathFromEnvironment());
        QVERIFY(m_capture->waitFor(Rate / 10));
        const int64_t mark = m_capture->frames();
        QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
        // Three songs of 3 s hand over at 2 s (end point less the 1 s transition).
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().CurrentIndex, int16_t(1), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().CurrentIndex, int16_t(2), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().CurrentIndex, int16_t(3), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().CurrentIndex, int16_t(1), 4000);
        listen(0.8);
        const auto heard = m_capture->read(mark, m_capture->frames() - mark);
        const int64_t a = toneStart(heard, 2, 0, Rate, ToneA, 0.25);
        const int64_t c = toneStart(heard, 2, 0, Rate, ToneC, 0.25);
        const int64_t b = toneStart(heard, 2, 0, Rate, ToneB, 0.25);
        QVERIFY(a >= 0 && c > a && b > c);
        // Each song starts about 1.5 to 2 s after the one before (the position is rounded
        // to whole seconds, so the point is reached half a second early at most).
        for (double gap : {double(c - a) / Rate, double(b - c) / Rate})
            QVERIFY2(gap > 1.3 && gap < 2.4, qPrintable(QString::number(gap)));
        // After the third song the first plays again.
        const std::vector<float> tail(heard.begin() + b * 2, heard.end());
        QVERIFY(toneStart(tail, 2, 0, Rate, ToneA, 0.25) > Rate);
        // The list shows what was played.
        QCOMPARE(w->ui().lstClipList->clipModel().text(2, 9), QStringLiteral("3"));
        QCOMPARE(w->ui().lstClipList->clipModel().selectedIndexes(), QList<int>({1}));
    }
};

QTEST_MAIN(TestWindowAudio)
#include "tst_windowaudio.moc"
