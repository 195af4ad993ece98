// The real window playing generated tones on real decks, with the mix captured from SDL's
// disk driver: what the user hears after pressing the buttons.

#include "audiocapture.h"
#include "cliplistview.h"
#include "fixtures.h"
#include "frmplayer.h"
#include "memorysettingsstore.h"
#include "playlistfile.h"

#include <QDir>
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
            OpenFile(s, false, 0, w->ui().lstClipList->clipModel());
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
        const int32_t held = w->engine().deck(w->engine().currentDeck())->Position();
        listen(0.5);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().deck(w->engine().currentDeck())->Position(), held);

        QTest::mouseClick(w->ui().btnPause, Qt::LeftButton); // resumes
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
        listen(0.5);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) > 0.8 * Amplitude);

        // Choosing an output rebuilds both decks: the song falls silent, the state stays.
        emit w->ui().cmbOutputDevices->activated(0);
        listen(0.4);
        QVERIFY(heardLevel(*m_capture, ToneA, 0.3) < 0.001);
        QCOMPARE(w->engine().playState(), volaro::playback::PlayState::Playing);
        QCOMPARE(w->ui().lblStatus->text(), QStringLiteral("Play"));
    }

    void listsOfOtherProgramsPlay() {
        // Songs beside a list as other programs write it, opened while the current folder is
        // elsewhere; the rows naming nothing stay and are skipped.
        QVERIFY(QDir(m_dir.path()).mkpath(QString::fromUtf8("Music/Album 1/Música")));
        const QString root = m_dir.path();
        const QList<double> tones = {ToneA, ToneC, ToneB, 1320, 1650};
        const QStringList songs = {"Music/Album 1/01.wav", "Music/Album 1/sp ace.wav",
                                   "Music/song.wav", QString::fromUtf8("Music/café.wav"),
                                   QString::fromUtf8("Music/Album 1/Música/Ñandú.wav")};
        for (int i = 0; i < songs.size(); ++i)
            QVERIFY(!tone(songs[i], tones[i], 3).isEmpty());
        const QString mix = m_dir.filePath("mix.m3u"), names = m_dir.filePath("lists/names.m3u8");
        const QByteArray uri = "file://" + root.toUtf8() + "/Music/Album%201/sp%20ace.wav\r\n";
        QVERIFY(volaro::fixtures::writeBytes(
            mix, "#EXTM3U\r\n#EXTINF:3,One\r\nMusic/Album 1/01.wav\r\nmissing.wav\r\n" + uri +
                     "Music\\song.wav\r\nfile:///gone/x%20y.wav\r\nMusic\\caf\xE9.wav\r\n"
                     "C:\\Music\\song.wav\r\n"));
        QVERIFY(QDir(root).mkpath("lists"));
        QVERIFY(volaro::fixtures::writeBytes(names, "../Music/Album 1/Música/Ñandú.wav\n"));
        const QString before = QDir::currentPath();
        QDir::setCurrent(m_config.path());
        MemorySettingsStore store;
        auto w = window(store, {mix, names});
        QDir::setCurrent(before);
        QStringList rows;
        for (int i = 1; i <= w->ui().lstClipList->clipModel().count(); ++i)
            rows << w->ui().lstClipList->clipModel().text(i, 7);
        const auto at = [&](int i) { return root + u'/' + songs[i]; };
        QCOMPARE(rows, QStringList({at(0), "missing.wav", at(1), at(2), "/gone/x y.wav", at(3),
                                    "C:\\Music\\song.wav", at(4)}));

        m_capture = std::make_unique<DiskCapture>(DiskCapture::pathFromEnvironment());
        QTest::mouseClick(w->ui().btnPlay, Qt::LeftButton);
        QVERIFY(m_capture->waitFor(Rate / 10)); // the output opens with the first song
        const int64_t mark = m_capture->frames();
        QTRY_COMPARE_WITH_TIMEOUT(w->engine().currentIndex(), int16_t(8), 15000);
        listen(1.5);
        // Each song is heard, in list order.
        const auto heard = m_capture->read(mark, m_capture->frames() - mark);
        int64_t last = -1;
        for (double t : tones) {
            const int64_t start = toneStart(heard, 2, 0, Rate, t, 0.25);
            QVERIFY2(start > last, qPrintable(QString("%1 Hz at %2").arg(t).arg(start)));
            last = start;
        }
    }
};

QTEST_MAIN(TestWindowAudio)
#include "tst_windowaudio.moc"
