// A song file that changes while a deck plays it, as a tag editor, a sync tool or a
// download rewrites it in place: cut to nothing or to part of itself. The process must
// not die with the file; what had been read still plays, then silence up to the length
// measured at opening, so that the song ends on time and the list can go on.

#include "audiocapture.h"
#include "fixtures.h"
#include "player.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

using namespace volaro::fixtures;
using namespace volaro::capture;

class TestFileChanges : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_output;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_output = Player::outputNames().value(0);
        QVERIFY(!m_output.isEmpty());
    }

    void cutWhilePlaying_data() {
        QTest::addColumn<qint64>("cutTo");
        QTest::newRow("cut to nothing") << qint64(0);
        QTest::newRow("cut to 200,000 bytes") << qint64(200000);
    }

    void cutWhilePlaying() {
        QFETCH(qint64, cutTo);
        constexpr int Rate = 44100;
        // 6 s at 320 kbit/s: 200,000 bytes hold the first 5 s.
        Signal s;
        s.seconds = 6;
        const QString song = m_dir.filePath(QStringLiteral("song-%1.mp3").arg(cutTo));
        QVERIFY(writeMp3(song, s, Mp3Kind::Cbr, 320));
        Player p;
        p.setFilename(song);
        p.setOutputDevice(m_output);
        QCOMPARE(p.OpenFile(), int16_t(0));
        QCOMPARE(p.Duration(), 6);
        p.setPosition(4);
        p.PlayFile();
        DiskCapture capture(DiskCapture::pathFromEnvironment());
        const int64_t before = capture.advance(0.2);
        QVERIFY(toneAmplitude(capture.read(before - Rate / 10, Rate / 10), 2, 0, Rate, 440) > 0.4);

        QVERIFY(QFile::resize(song, cutTo));

        QElapsedTimer t;
        t.start();
        while (p.Position() < 6 && t.elapsed() < 8000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QCOMPARE(p.Position(), 6); // the song ends where it was measured to
        const int64_t end = capture.frames();
        const std::vector<float> last = capture.read(end - Rate / 4, Rate / 4);
        QVERIFY(last.size() == 2 * Rate / 4);
        QCOMPARE(rms(last, 2, 0), 0.0); // and its last part is silence
    }
};

QTEST_GUILESS_MAIN(TestFileChanges)
#include "tst_filechanges.moc"
