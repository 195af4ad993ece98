// The background analyser and its disk cache.

#include "analysiscache.h"
#include "fixtures.h"
#include "songanalyser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace volaro::deck;
using namespace volaro::fixtures;

class TestSongAnalyser : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_cacheDir;
    QStringList m_songs;

    // Runs an analyser over the songs; returns what it emitted, in order.
    QList<QPair<QString, SongAnalysis>> run(const QStringList& order, int* decoded = nullptr) {
        SongAnalyser analyser(m_cacheDir);
        QSignalSpy spy(&analyser, &SongAnalyser::analysed);
        analyser.setOrder(order);
        QList<QPair<QString, SongAnalysis>> out;
        while (out.size() < order.size() && (!spy.isEmpty() || spy.wait(20000))) {
            const auto args = spy.takeFirst();
            out.append({args.at(0).toString(), args.at(1).value<SongAnalysis>()});
            // The lookup agrees with the signal once the signal is out.
            if (analyser.known(out.last().first) != out.last().second)
                out.last().first = "lookup differs";
        }
        if (decoded)
            *decoded = analyser.decodedCount();
        return out;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_cacheDir = m_dir.filePath("cache");
        for (int i = 0; i < 3; ++i) {
            m_songs << m_dir.filePath(QString("song%1.mp3").arg(i));
            QVERIFY(writeMp3(m_songs.last(), {.seconds = 3, .amplitude = 0.05 * (i + 1)},
                             Mp3Kind::Cbr, 128));
        }
        m_songs << m_dir.filePath("missing.mp3");
    }

    void cachedAcrossRuns() {
        int decoded = 0;
        const QStringList order{m_songs[2], m_songs[0], m_songs[3], m_songs[1]};
        const auto first = run(order, &decoded);
        QCOMPARE(first.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(first[i].first, order[i]);
        QCOMPARE(decoded, 3);
        QVERIFY(first[0].second.ok() && first[1].second.ok() && first[3].second.ok());
        QVERIFY(first[0].second.loudness > first[1].second.loudness + 8);
        QVERIFY(!first[2].second.ok()); // missing
        QVERIFY(QFile::exists(AnalysisCache(m_cacheDir).filePath()));

        // Junk of the same size and time in place of a song: the cache answers, no decode.
        const QString song = m_songs[0];
        QFile f(song);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime modified = f.fileTime(QFileDevice::FileModificationTime);
        const qint64 size = f.size();
        QVERIFY(f.write(QByteArray(size, 'x')) == size);
        QVERIFY(f.flush());
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
        f.close();
        const auto second = run({song}, &decoded);
        QCOMPARE(decoded, 0);
        QCOMPARE(second.value(0).second, first[1].second);

        // Once the file changes it is analysed again: the junk now fails, and stays failed.
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(modified.addSecs(5), QFileDevice::FileModificationTime));
        f.close();
        const auto third = run({song}, &decoded);
        QCOMPARE(decoded, 1);
        QVERIFY(!third.value(0).second.ok());
        QCOMPARE(third.value(0).first, song);
        run({song}, &decoded);
        QCOMPARE(decoded, 0);
    }

    void stopsPromptly() {
        // Hours of silence (a WAV header on a sparse file): destruction does not wait.
        const QString hours = m_dir.filePath("hours.wav");
        const quint32 dataBytes = 0xFFFFFF00u;
        QByteArray header("RIFF....WAVEfmt \x10\0\0\0\1\0\2\0....\0\0\0\0\4\0\x10\0data....", 44);
        qToLittleEndian<quint32>(dataBytes + 36, header.data() + 4);
        qToLittleEndian<quint32>(44100, header.data() + 24);
        qToLittleEndian<quint32>(44100 * 4, header.data() + 28);
        qToLittleEndian<quint32>(dataBytes, header.data() + 40);
        QFile f(hours);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(header) == 44 && f.resize(44 + dataBytes));
        f.close();
        QElapsedTimer timer;
        {
            SongAnalyser analyser(m_dir.filePath("cache-hours"));
            analyser.setOrder({hours});
            QTest::qWait(300);
            timer.start();
        }
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        f.remove();
    }

    void damagedCacheRebuilt() {
        const QString cacheFile = AnalysisCache(m_cacheDir).filePath();
        run({m_songs[1]});
        QFile file(cacheFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray good = file.readAll();
        file.close();
        QByteArray outOfRange = good;
        outOfRange[outOfRange.size() - 1] = char(0x7f); // the last value is out of range
        QByteArray otherVersion = good;
        otherVersion[8] = 9;
        for (const QByteArray& bad : {good.left(good.size() - 3), outOfRange, otherVersion,
                                      QByteArray("not a cache at all"), good + "x"}) {
            QVERIFY(writeBytes(cacheFile, bad));
            AnalysisCache cache(m_cacheDir);
            QVERIFY(!cache.load());
            QCOMPARE(cache.size(), 0);
            int decoded = 0;
            const auto again = run({m_songs[1]}, &decoded);
            QCOMPARE(decoded, 1); // ignored, analysed anew
            QVERIFY(again.value(0).second.ok());
            QVERIFY(cache.load()); // and written whole again
        }
    }
};

QTEST_GUILESS_MAIN(TestSongAnalyser)
#include "tst_songanalyser.moc"
