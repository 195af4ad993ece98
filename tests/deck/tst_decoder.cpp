// The decoders on generated and odd real-world files: exact lengths of every kind of MP3
// and of WAV, seeking to the frame, the choice of decoder by content, and survival of
// damaged input.

#include "decoder.h"
#include "fixtures.h"
#include "mediabytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::deck;
using namespace volaro::fixtures;

namespace {

constexpr int64_t MpegFrame = 1152;

std::unique_ptr<Decoder> openPath(const QString& path) {
    return Decoder::open(MediaBytes::openFile(path));
}

// Every frame the decoder gives from where it stands, interleaved.
std::vector<float> decodeAll(Decoder& d, int64_t limitFrames = INT64_MAX) {
    std::vector<float> all;
    std::vector<float> buf(4096 * static_cast<size_t>(d.channels()));
    int64_t total = 0;
    for (long n; total < limitFrames && (n = d.read(buf.data(), 4096)) > 0; total += n)
        all.insert(all.end(), buf.begin(), buf.begin() + n * d.channels());
    return all;
}

int64_t frameCount(const std::vector<float>& v, const Decoder& d) {
    return static_cast<int64_t>(v.size()) / d.channels();
}

QByteArray id3v2Tag(int payloadBytes) {
    QByteArray tag("ID3\x04\x00\x00", 6);
    for (int shift : {21, 14, 7, 0}) // size as four 7-bit digits
        tag.append(char((payloadBytes >> shift) & 0x7F));
    QByteArray frame("TXXX");
    const int frameSize = payloadBytes - 10;
    for (int shift : {21, 14, 7, 0})
        frame.append(char((frameSize >> shift) & 0x7F));
    frame.append(QByteArray(2, '\0'));
    frame.append(QByteArray(frameSize, 'x'));
    return tag + frame;
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void exactLengths_data() {
        QTest::addColumn<int>("kind"); // -1: WAV
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("gapless"); // the header knows the encoder's delay and padding
        QTest::newRow("cbr") << int(Mp3Kind::Cbr) << 44100 << 2 << 7.3 << true;
        QTest::newRow("cbr-no-header") << int(Mp3Kind::CbrNoHeader) << 44100 << 2 << 7.3 << false;
        QTest::newRow("vbr-xing") << int(Mp3Kind::VbrXing) << 44100 << 2 << 9.1 << true;
        QTest::newRow("vbr-no-header") << int(Mp3Kind::VbrNoHeader) << 44100 << 2 << 9.1 << false;
        QTest::newRow("vbr-no-header-mono-32k")
            << int(Mp3Kind::VbrNoHeader) << 32000 << 1 << 5.5 << false;
        QTest::newRow("mpeg2-22k-no-header")
            << int(Mp3Kind::VbrNoHeader) << 22050 << 2 << 4.2 << false;
        QTest::newRow("mpeg2.5-8k-cbr-no-header")
            << int(Mp3Kind::CbrNoHeader) << 8000 << 1 << 3.3 << false;
        QTest::newRow("mpeg2.5-11k-vbr-xing") << int(Mp3Kind::VbrXing) << 11025 << 1 << 3.3 << true;
        QTest::newRow("wav") << -1 << 44100 << 2 << 4.321 << true;
        QTest::newRow("wav-mono-8k") << -1 << 8000 << 1 << 3.0001 << true;
    }

    void exactLengths() {
        QFETCH(int, kind);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, seconds);
        QFETCH(bool, gapless);
        Signal s;
        s.seconds = seconds;
        s.sampleRate = rate;
        s.channels = channels;
        s.noise = 0.2; // makes VBR frame sizes vary
        const QString f = path(QStringLiteral("len-%1.bin").arg(QTest::currentDataTag()));
        QVERIFY(kind < 0 ? writeWav(f, s) : writeMp3(f, s, Mp3Kind(kind), kind >= 2 ? 4 : 128));

        auto d = openPath(f);
        QVERIFY(d);
        QCOMPARE(d->kind(), kind < 0 ? Decoder::Kind::Sndfile : Decoder::Kind::Mpeg);
        QCOMPARE(d->sampleRate(), rate);
        QCOMPARE(d->channels(), channels);
        const int64_t decoded = frameCount(decodeAll(*d), *d);
        // MPEG 2 and 2.5 frames hold half as many samples.
        const int64_t frame = rate >= 32000 ? MpegFrame : MpegFrame / 2;
        QVERIFY2(
            std::abs(d->lengthFrames() - decoded) <= frame,
            qPrintable(
                QStringLiteral("reported %1, decoded %2").arg(d->lengthFrames()).arg(decoded)));
        const auto truth = static_cast<int64_t>(std::llround(seconds * rate));
        if (kind < 0)
            QCOMPARE(d->lengthFrames(), truth);
        else if (gapless)
            QVERIFY(std::abs(d->lengthFrames() - truth) <= frame);
        else // the encoder's delay and final padding stay in: at most two frames more
            QVERIFY(d->lengthFrames() >= truth && d->lengthFrames() - truth <= 2 * MpegFrame);
    }

    void seeksLandOnTheFrame_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("cbr") << int(Mp3Kind::Cbr);
        QTest::newRow("vbr-xing") << int(Mp3Kind::VbrXing);
        QTest::newRow("vbr-no-header") << int(Mp3Kind::VbrNoHeader);
        QTest::newRow("wav") << -1;
    }

    void seeksLandOnTheFrame() {
        QFETCH(int, kind);
        Signal s;
        s.frequency = 0;
        s.noise = 0.4; // never repeats, so a misplaced read cannot match
        s.seconds = 6;
        s.channels = 1;
        const QString f = path(QStringLiteral("seek-%1.bin").arg(QTest::currentDataTag()));
        QVERIFY(kind < 0 ? writeWav(f, s) : writeMp3(f, s, Mp3Kind(kind), kind >= 2 ? 2 : 192));
        auto d = openPath(f);
        QVERIFY(d);
        const std::vector<float> all = decodeAll(*d);

        for (int64_t target : {int64_t(0), int64_t(44100 * 3 + 517), int64_t(200000)}) {
            QVERIFY(d->seek(target));
            constexpr int Probe = 2048;
            const std::vector<float> got = decodeAll(*d, Probe);
            QVERIFY(int64_t(got.size()) >= Probe);
            // Find where in the full decode the probe fits best, searching two frames around.
            int64_t best = INT64_MIN;
            double bestError = 1e30;
            for (int64_t off = -2 * MpegFrame; off <= 2 * MpegFrame; ++off) {
                const int64_t at = target + off;
                if (at < 0 || at + Probe > int64_t(all.size()))
                    continue;
                double e = 0;
                for (int i = 0; i < Probe && e < bestError; ++i)
                    e += std::pow(all[at + i] - got[i], 2);
                if (e < bestError) {
                    bestError = e;
                    best = off;
                }
            }
            QVERIFY2(std::abs(best) <= MpegFrame,
                     qPrintable(QStringLiteral("seek to %1 landed %2 off").arg(target).arg(best)));
            QVERIFY(bestError / Probe < 1e-4); // the same audio, not a near miss
        }
    }

    void decoderChosenByContent() {
        Signal s;
        s.seconds = 2.0;
        const QString f = path("really-a-wav.mp3");
        QVERIFY(writeWav(f, s));
        auto d = openPath(f);
        QVERIFY(d);
        QCOMPARE(d->kind(), Decoder::Kind::Sndfile);
        QCOMPARE(d->lengthFrames(), 88200);

        const QString m = path("really-an-mp3.wav");
        QVERIFY(writeMp3(m, s, Mp3Kind::Cbr));
        auto e = openPath(m);
        QVERIFY(e);
        QCOMPARE(e->kind(), Decoder::Kind::Mpeg);
    }

    void junkAndTagsAroundTheFrames_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("junkAt"); // percent of the audio; -1 none
        QTest::addColumn<int>("junkBytes");
        QTest::addColumn<QByteArray>("after");
        const QByteArray v1 = "TAG" + QByteArray(125, 'a');
        QTest::newRow("id3v1 at the end") << QByteArray() << -1 << 0 << v1;
        QTest::newRow("ape and id3v1 at the end")
            << QByteArray() << -1 << 0
            << QByteArray("APETAGEX").append(QByteArray(56, '\x01')) + v1;
        QTest::newRow("junk in the middle") << QByteArray() << 40 << 333 << QByteArray();
        // More than libmpg123 shifts through to resynchronise: the song ends there.
        QTest::newRow("junk past the resync limit") << QByteArray() << 40 << 2000 << QByteArray();
        QTest::newRow("junk before the first frame")
            << QByteArray(700, '\x55') << -1 << 0 << QByteArray();
        QTest::newRow("two id3v2 tags") << id3v2Tag(300) + id3v2Tag(40) << -1 << 0 << QByteArray();
    }

    void junkAndTagsAroundTheFrames() {
        QFETCH(QByteArray, before);
        QFETCH(int, junkAt);
        QFETCH(int, junkBytes);
        QFETCH(QByteArray, after);
        Signal s;
        s.seconds = 3.0;
        s.noise = 0.1;
        const QString plain = path("plain-vbr.mp3");
        if (!QFile::exists(plain))
            QVERIFY(writeMp3(plain, s, Mp3Kind::VbrNoHeader, 4));
        QFile in(plain);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray audio = in.readAll();
        if (junkAt >= 0) {
            QByteArray junk(junkBytes, Qt::Uninitialized);
            for (int i = 0; i < junk.size(); ++i)
                junk[i] = char((i * 37) & 0x7F); // never a frame sync
            audio.insert(int(audio.size() * junkAt / 100), junk);
        }
        const QString f =
            path(QStringLiteral("odd-%1.mp3").arg(QTest::currentDataTag()).replace(' ', '-'));
        QVERIFY(writeBytes(f, before + audio + after));
        auto d = openPath(f);
        QVERIFY(d);
        QCOMPARE(d->kind(), Decoder::Kind::Mpeg);
        const int64_t decoded = frameCount(decodeAll(*d), *d);
        // All of it, or the part before junk the decoder gives up on.
        QVERIFY(junkBytes > 1024 ? decoded < 44100 * 3 / 2 : decoded > 44100 * 5 / 2);
        QVERIFY2(
            std::abs(d->lengthFrames() - decoded) <= MpegFrame,
            qPrintable(
                QStringLiteral("reported %1, decoded %2").arg(d->lengthFrames()).arg(decoded)));
    }

    void cutFarBelowItsHeader() {
        // A download that stopped early: the LAME header still claims the whole length.
        Signal s;
        s.seconds = 8.0;
        const QString full = path("whole-cbr.mp3");
        QVERIFY(writeMp3(full, s, Mp3Kind::Cbr, 128));
        QFile in(full);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QString cut = path("eighth-cbr.mp3");
        QVERIFY(writeBytes(cut, in.readAll().left(int(in.size() / 8))));
        auto d = openPath(cut);
        QVERIFY(d);
        const int64_t decoded = frameCount(decodeAll(*d), *d);
        QVERIFY(decoded < 44100 * 2);
        QVERIFY2(
            std::abs(d->lengthFrames() - decoded) <= MpegFrame,
            qPrintable(
                QStringLiteral("reported %1, decoded %2").arg(d->lengthFrames()).arg(decoded)));
        QVERIFY(d->seek(decoded / 2));
        QVERIFY(!decodeAll(*d).empty());
    }

    void garbageIsRefusedQuietly() {
        QVERIFY(!Decoder::open(nullptr));
        QVERIFY(!Decoder::open(MediaBytes::copyOf(nullptr, 0)));
        MediaBytes::Error error;
        QVERIFY(!MediaBytes::openFile(path("missing.mp3"), &error));
        QCOMPARE(error, MediaBytes::Error::Missing);
        QVERIFY(writeBytes(path("zero.mp3"), {}));
        QVERIFY(!MediaBytes::openFile(path("zero.mp3"), &error));
        QCOMPARE(error, MediaBytes::Error::Empty);
        QVERIFY(!MediaBytes::openFile(m_dir.path(), &error));
        QCOMPARE(error, MediaBytes::Error::NotAFile);

        const QByteArray text = QByteArray("Just some words, no audio here.\n").repeated(100);
        QVERIFY(!Decoder::open(
            MediaBytes::copyOf(reinterpret_cast<const uint8_t*>(text.constData()), text.size())));

        // Random bytes may hold false frame syncs; whatever decodes must end.
        QRandomGenerator rng(7);
        for (int i = 0; i < 20; ++i) {
            QByteArray junk(64 * 1024, Qt::Uninitialized);
            rng.fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
            if (i % 2)
                junk.prepend(id3v2Tag(100));
            auto d = Decoder::open(MediaBytes::copyOf(
                reinterpret_cast<const uint8_t*>(junk.constData()), junk.size()));
            if (d) {
                decodeAll(*d, 10'000'000);
                d->seek(d->lengthFrames() / 2);
                decodeAll(*d, 10'000'000);
            }
        }
    }

    void realWorldOddFiles() {
        if (oddMediaDir().isEmpty())
            QSKIP(SkipNoCorpus);
        const QDir dir(oddMediaDir());
        const QStringList files =
            dir.entryList({"*.mp3", "*.wav", "*.aif*", "*.flac", "*.ogg"}, QDir::Files);
        QVERIFY(files.size() >= 10);
        int opened = 0;
        for (const QString& name : files) {
            QElapsedTimer t;
            t.start();
            auto d = openPath(dir.filePath(name));
            if (!d)
                continue;
            ++opened;
            // Even damaged and cut files report what they really hold.
            const int64_t decoded = frameCount(decodeAll(*d, int64_t(d->sampleRate()) * 3600), *d);
            QVERIFY2(std::abs(d->lengthFrames() - decoded) <= MpegFrame,
                     qPrintable(QStringLiteral("%1: reported %2, decoded %3")
                                    .arg(name)
                                    .arg(d->lengthFrames())
                                    .arg(decoded)));
            d->seek(d->lengthFrames() / 3);
            decodeAll(*d, 100000);
            QVERIFY2(t.elapsed() < 20000, qPrintable(name));
        }
        QVERIFY(opened > 0);
    }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
