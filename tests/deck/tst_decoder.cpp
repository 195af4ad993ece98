// The decoders: exact lengths of every MP3 kind, WAV and the FFmpeg kinds, seeks,
// surround folded to stereo, and damaged input.

#include "deck/decoder.h"
#include "deck/mediabytes.h"
#include "support/audiocapture.h"
#include "support/codecfixtures.h"
#include "support/fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sndfile.h>

using namespace volaro::deck;
using namespace volaro::fixtures;
using volaro::capture::toneAmplitude;

namespace {

constexpr int64_t MpegFrame = 1152;

std::unique_ptr<Decoder> openPath(const QString& path) {
    return Decoder::open(MediaBytes::openFile(path));
}

std::unique_ptr<Decoder> openBytes(const QByteArray& b) {
    return Decoder::open(
        MediaBytes::copyOf(reinterpret_cast<const uint8_t*>(b.constData()), b.size()));
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

int64_t decodedFrames(Decoder& d, int64_t limitFrames = INT64_MAX) {
    return static_cast<int64_t>(decodeAll(d, limitFrames).size()) / d.channels();
}

// The length the decoder reports is what it decodes, within a frame; says so when not.
bool lengthHolds(const Decoder& d, int64_t decoded, const QString& what,
                 int64_t frame = MpegFrame) {
    const bool holds = std::abs(d.lengthFrames() - decoded) <= frame;
    if (!holds)
        qWarning("%s: reported %lld, decoded %lld", qPrintable(what), (long long)d.lengthFrames(),
                 (long long)decoded);
    return holds;
}

QByteArray id3v2Tag(int payloadBytes) {
    const auto size = [](int bytes) { // four 7-bit digits
        QByteArray digits;
        for (int shift : {21, 14, 7, 0})
            digits.append(char((bytes >> shift) & 0x7F));
        return digits;
    };
    const int frameSize = payloadBytes - 10;
    return QByteArray("ID3\x04\x00\x00", 6) + size(payloadBytes) + "TXXX" + size(frameSize) +
           QByteArray(2, '\0') + QByteArray(frameSize, 'x');
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void exactLengthsAndSeeks() {
        constexpr int Wav = -1, Cbr = int(Mp3Kind::Cbr), CbrBare = int(Mp3Kind::CbrNoHeader),
                      Xing = int(Mp3Kind::VbrXing), VbrBare = int(Mp3Kind::VbrNoHeader);
        // kind (-2 - Codec for the FFmpeg kinds), rate, channels, seconds; MPEG 2 below
        // 32 kHz, MPEG 2.5 below 16 kHz.
        std::vector<std::tuple<int, int, int, double>> files = {
            {Cbr, 44100, 2, 7.3},     {CbrBare, 44100, 2, 7.3}, {Xing, 44100, 2, 9.1},
            {VbrBare, 44100, 2, 9.1}, {VbrBare, 32000, 1, 5.5}, {VbrBare, 22050, 2, 4.2},
            {CbrBare, 8000, 1, 3.3},  {Xing, 11025, 1, 3.3},    {Wav, 44100, 2, 4.321},
            {Wav, 8000, 1, 3.0001}};
        for (const Codec codec : {Codec::AacM4a, Codec::AacItunes, Codec::AlacM4a, Codec::Opus,
                                  Codec::Wma, Codec::WavPack, Codec::AacVideo})
            files.push_back({-2 - int(codec), codecRate(codec), 2, 5.217});
        // Its last seek lands in Ogg's last page, which FFmpeg dates early.
        files.push_back({-2 - int(Codec::Opus), 48000, 2, 4.717});
        for (const auto& [kind, rate, channels, seconds] : files) {
            // Noise makes VBR frame sizes vary, and never repeats: a misplaced read cannot
            // match. AAC decodes noise as noise of its own; a rising tone never repeats either.
            std::vector<float> sound = render(
                {.seconds = seconds, .sampleRate = rate, .channels = channels, .noise = 0.2});
            for (size_t i = 0; kind < Wav && i < sound.size(); ++i) {
                const double t = double(i / channels) / rate;
                sound[i] = 0.4f * float(std::sin(2 * M_PI * (200 + 100 * t) * t));
            }
            // WAV and MP3 named as the other kind: the decoder is chosen by the content.
            const auto codec = Codec(-2 - kind);
            const QString tag = QStringLiteral("%1-%2-%3").arg(kind).arg(rate).arg(channels);
            const QString f = path("len-" + tag +
                                   (kind < -1  ? codecSuffix(codec)
                                    : kind < 0 ? ".mp3"
                                               : ".wav"));
            QVERIFY(kind < -1  ? writeEncoded(f, codec, sound, rate, channels)
                    : kind < 0 ? writeWavSamples(f, sound, rate, channels)
                               : writeMp3Samples(f, sound, rate, channels, Mp3Kind(kind),
                                                 kind >= 2 ? 4 : 128));

            auto d = openPath(f);
            QVERIFY2(d, qPrintable(tag));
            QCOMPARE(d->kind(), kind < -1  ? Decoder::Kind::Ffmpeg
                                : kind < 0 ? Decoder::Kind::Sndfile
                                           : Decoder::Kind::Mpeg);
            QCOMPARE(std::pair(d->sampleRate(), d->channels()), std::pair(rate, channels));
            const std::vector<float> all = decodeAll(*d);
            const int64_t decoded = int64_t(all.size()) / channels;
            // MPEG 2 and 2.5 frames hold half as many samples; the FFmpeg kinds are exact.
            const int64_t frame = kind < -1 ? 0 : rate >= 32000 ? MpegFrame : MpegFrame / 2;
            QVERIFY(lengthHolds(*d, decoded, tag, frame));
            // FFmpeg's WMA encoder keeps no lead-in, so its first block (2048 frames) is lost
            // to any decoder, and ASF counts whole milliseconds.
            const bool wma = codec == Codec::Wma;
            const int64_t extra =
                d->lengthFrames() - std::llround(seconds * rate) + (wma ? 2048 : 0);
            if (kind < 0) // WAV, and the FFmpeg kinds with priming and padding left out
                QVERIFY2(std::abs(extra) <= (wma ? 1024 : 0), qPrintable(tag));
            else if (kind == Cbr || kind == Xing) // the header knows the delay and padding
                QVERIFY2(std::abs(extra) <= frame, qPrintable(tag));
            else // the encoder's delay and final padding stay in: at most two frames more
                QVERIFY2(extra >= 0 && extra <= 2 * MpegFrame, qPrintable(tag));

            // A seek lands where its probe best fits the whole decode: within a frame, on the
            // sample for the FFmpeg kinds (WMA's times are in milliseconds).
            const int64_t tolerance = kind < -1 ? (wma ? 44 : 0) : MpegFrame;
            constexpr int64_t Probe = 2048;
            for (const int64_t target : {int64_t(0), int64_t(rate * 3 + 517), int64_t(200000)}) {
                if (target + Probe > decoded)
                    continue;
                QVERIFY(d->seek(target));
                const std::vector<float> got = decodeAll(*d, Probe);
                QVERIFY(int64_t(got.size()) >= Probe * channels);
                int64_t best = INT64_MIN;
                double bestError = 1e30;
                for (int64_t off = -2 * MpegFrame; off <= 2 * MpegFrame; ++off) {
                    const int64_t at = (target + off) * channels;
                    if (at < 0 || at + Probe * channels > int64_t(all.size()))
                        continue;
                    double e = 0;
                    for (int64_t i = 0; i < Probe * channels && e < bestError; ++i)
                        e += std::pow(all[at + i] - got[i], 2);
                    if (e < bestError)
                        bestError = e, best = off;
                }
                const QString where = QString("%1 to %2: %3 off").arg(tag).arg(target).arg(best);
                QVERIFY2(std::abs(best) <= tolerance, qPrintable(where));
                // The same audio, not a near miss.
                QVERIFY2(bestError / double(Probe * channels) < 1e-4, qPrintable(where));
            }
        }
    }

    void surroundFoldsToStereo() {
        // A tone of its own in each channel of 5.1 (FL FR FC LFE BL BR).
        constexpr double Hz[6] = {300, 500, 700, 100, 1100, 1300};
        constexpr int Rate = 44100;
        std::vector<float> six(Rate * 2 * 6);
        for (size_t i = 0; i < six.size(); ++i)
            six[i] = 0.1f * float(std::sin(2 * M_PI * Hz[i % 6] * double(i / 6) / Rate));
        const QString flac = path("six.flac"), m4a = path("six.m4a"), wav = path("six.wav");
        QVERIFY(writeWavSamples(flac, six, Rate, 6) &&
                writeEncoded(m4a, Codec::AacM4a, six, Rate, 6));
        // A WAV that names its speakers, the surrounds at the sides.
        SF_INFO info{0, Rate, 6, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* sf = sf_open(QFile::encodeName(wav).constData(), SFM_WRITE, &info);
        int map[6] = {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT,     SF_CHANNEL_MAP_CENTER,
                      SF_CHANNEL_MAP_LFE,  SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT};
        QVERIFY(sf && sf_command(sf, SFC_SET_CHANNEL_MAP_INFO, map, sizeof map) == SF_TRUE);
        QCOMPARE(sf_writef_float(sf, six.data(), Rate * 2), Rate * 2);
        sf_close(sf);
        for (const QString& f : {flac, m4a, wav}) {
            auto d = openPath(f);
            QVERIFY(d && d->channels() == 6);
            const std::vector<float> all = decodeAll(*d);
            std::vector<float> st(all.size() / 3);
            foldToStereo(all.data(), long(st.size() / 2), d->layout(), st.data());
            // Left, right: fronts at full level, the centre and surrounds at -3 dB, no LFE.
            constexpr double Expected[6][2] = {{1, 0}, {0, 1},    {.707, .707},
                                               {0, 0}, {.707, 0}, {0, .707}};
            for (int c = 0; c < 6; ++c)
                for (int side = 0; side < 2; ++side)
                    QVERIFY2(std::abs(toneAmplitude(st, 2, side, Rate, Hz[c]) / 0.1 -
                                      Expected[c][side]) < 0.05,
                             qPrintable(QString("%1 channel %2 side %3").arg(f).arg(c).arg(side)));
        }
    }

    void junkAndTagsAroundTheFrames() {
        QVERIFY(writeMp3(path("plain.mp3"), {.seconds = 3, .noise = 0.1}, Mp3Kind::VbrNoHeader, 4));
        const QByteArray plain = readBytes(path("plain.mp3")), none,
                         v1 = "TAG" + QByteArray(125, 'a');
        const QByteArray ape = QByteArray("APETAGEX").append(QByteArray(56, '\x01'));
        // Tags before or after, junk before the first frame, junk 40 % in: within what
        // libmpg123 shifts through to resynchronise, or past it, where the song ends.
        const QList<std::tuple<QByteArray, int, QByteArray>> cases{
            {none, 0, v1},
            {none, 0, ape + v1},
            {none, 333, none},
            {none, 2000, none},
            {QByteArray(700, '\x55'), 0, none},
            {id3v2Tag(300) + id3v2Tag(40), 0, none}};
        for (int c = 0; c < cases.size(); ++c) {
            const auto& [before, junkBytes, after] = cases[c];
            QByteArray audio = plain, junk(junkBytes, Qt::Uninitialized);
            for (int i = 0; i < junk.size(); ++i)
                junk[i] = char((i * 37) & 0x7F); // never a frame sync
            audio.insert(int(audio.size() * 40 / 100), junk);
            const QString f = path(QStringLiteral("odd-%1.mp3").arg(c));
            QVERIFY(writeBytes(f, before + audio + after));
            auto d = openPath(f);
            QVERIFY2(d && d->kind() == Decoder::Kind::Mpeg, qPrintable(QString::number(c)));
            const int64_t decoded = decodedFrames(*d);
            // All of it, or the part before junk the decoder gives up on.
            QVERIFY2(junkBytes > 1024 ? decoded < 44100 * 3 / 2 : decoded > 44100 * 5 / 2,
                     qPrintable(QString::number(c)));
            QVERIFY(lengthHolds(*d, decoded, QString::number(c)));
        }
    }

    void cutFarBelowItsHeader() {
        // A download that stopped early: the LAME header still claims the whole length.
        const QString full = path("whole-cbr.mp3");
        QVERIFY(writeMp3(full, {.seconds = 8}, Mp3Kind::Cbr, 128));
        const QString cut = path("eighth-cbr.mp3");
        QVERIFY(QFile::copy(full, cut) && QFile::resize(cut, QFileInfo(full).size() / 8));
        auto d = openPath(cut);
        QVERIFY(d);
        const int64_t decoded = decodedFrames(*d);
        QVERIFY(decoded < 44100 * 2);
        QVERIFY(lengthHolds(*d, decoded, cut));
        QVERIFY(d->seek(decoded / 2));
        QVERIFY(!decodeAll(*d).empty());
    }

    void garbageAndDamagedKindsRefusedQuietly() {
        QVERIFY(!Decoder::open(nullptr) && !Decoder::open(MediaBytes::copyOf(nullptr, 0)));

        QVERIFY(!openBytes(QByteArray("Just some words, no audio here.\n").repeated(100)));

        // Random bytes may hold false frame syncs; whatever decodes must end.
        QRandomGenerator rng(7);
        for (int i = 0; i < 20; ++i) {
            QByteArray junk(64 * 1024, Qt::Uninitialized);
            rng.fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
            if (i % 2)
                junk.prepend(id3v2Tag(100));
            if (auto d = openBytes(junk)) {
                decodeAll(*d, 10'000'000);
                d->seek(d->lengthFrames() / 2);
                decodeAll(*d, 10'000'000);
            }
        }

        // Each kind cut to nothing, to its first bytes, to half: refused, or what is there plays.
        for (const Codec codec : {Codec::AacM4a, Codec::AlacM4a, Codec::Opus, Codec::Wma,
                                  Codec::WavPack, Codec::AacItunes}) {
            const QString f =
                path(QStringLiteral("whole-%1%2").arg(codecName(codec), codecSuffix(codec)));
            QVERIFY(writeEncoded(f, codec, render({.sampleRate = codecRate(codec), .noise = 0.1}),
                                 codecRate(codec), 2));
            const QByteArray whole = readBytes(f);
            QVERIFY(!openBytes(QByteArray()) && !openBytes(whole.left(100)));
            if (auto d = openBytes(whole.left(whole.size() / 2))) {
                QVERIFY(decodedFrames(*d) <= d->lengthFrames());
                d->seek(d->lengthFrames() * 3 / 4);
                decodeAll(*d);
            }
        }
        // An M4A whose index is gone, and an MP4 whose only sound track is something else.
        const QString f = path("video.mp4");
        QVERIFY(writeEncoded(f, Codec::AacVideo, render({.seconds = 0.5}), 44100, 2));
        const QByteArray m4a = readBytes(path("whole-aac.m4a"));
        QVERIFY(!openBytes(m4a.left(m4a.lastIndexOf("moov") - 4))); // written last, after the data
        QVERIFY(!openBytes(readBytes(f).replace("soun", "vide").replace("mp4a", "jpeg")));
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
            QVERIFY(lengthHolds(*d, decodedFrames(*d, int64_t(d->sampleRate()) * 3600), name));
            d->seek(d->lengthFrames() / 3);
            decodeAll(*d, 100000);
            QVERIFY2(t.elapsed() < 20000, qPrintable(name));
        }
        QVERIFY(opened > 0);
    }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
