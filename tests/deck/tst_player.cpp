// Player as its callers see it (outputs by name, status codes, durations, getters) and as
// it sounds, captured from SDL's disk driver (float stereo, 44.1 kHz).

#include "deck/player.h"
#include "support/audiocapture.h"
#include "support/fixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace volaro::fixtures;
using namespace volaro::capture;
using namespace volaro::deck;

constexpr int Rate = 44100;
constexpr double Amplitude = 0.5;

class TestPlayer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_output;
    const DiskCapture m_capture{DiskCapture::pathFromEnvironment()};
    QString m_tone440, m_tone1000, m_steps, m_low;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A short mono tone file, created once per name.
    QString wav(const QString& name, double seconds, int rate = 8000) {
        const QString p = path(name);
        if (!QFile::exists(p) &&
            !writeWav(p, {.seconds = seconds, .sampleRate = rate, .channels = 1}))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }

    int16_t open(Player& p, const QString& file, const QString& output) {
        p.setFilename(file);
        p.setOutputDevice(output);
        return p.OpenFile();
    }

    std::unique_ptr<Player> deck(const QString& file, bool play = false) {
        auto p = std::make_unique<Player>();
        if (open(*p, file, m_output) != Player::OpenOk)
            return nullptr;
        if (play)
            p->PlayFile();
        return p;
    }

    // The last `seconds` of output after waiting that long plus a margin.
    std::vector<float> listen(double seconds, double settle = 0.15) {
        const int64_t end = m_capture.advance(seconds + settle);
        const auto frames = static_cast<int64_t>(seconds * Rate);
        return m_capture.read(end - frames, frames);
    }

    double tone(const std::vector<float>& s, int channel, double f) {
        return toneAmplitude(s, 2, channel, Rate, f);
    }
    // The tone f sounds on the left, and not the tone `other`.
    bool only(const std::vector<float>& s, double f, double other) {
        return tone(s, 0, f) > 0.4 && tone(s, 0, other) < 0.01;
    }

private slots:
    void initTestCase() {
        m_output = Player::outputNames().value(0);
        QVERIFY(!m_output.isEmpty());
        m_tone440 = path("440.wav");
        QVERIFY(writeWav(m_tone440, {.frequency = 440, .seconds = 8, .amplitude = Amplitude}));
        m_tone1000 = path("1000.wav");
        QVERIFY(writeWav(m_tone1000, {.frequency = 1000, .seconds = 8, .amplitude = Amplitude}));
        m_low = path("100.wav");
        QVERIFY(writeWav(m_low, {.frequency = 100, .seconds = 8, .amplitude = 0.9}));
        // 440 Hz for the first 3 s, 1000 Hz for the next 3 s: where we are is audible.
        auto steps = render({.frequency = 440, .seconds = 3, .amplitude = Amplitude});
        const auto high = render({.frequency = 1000, .seconds = 3, .amplitude = Amplitude});
        steps.insert(steps.end(), high.begin(), high.end());
        m_steps = path("steps.wav");
        QVERIFY(writeWavSamples(m_steps, steps, Rate, 2));

        // The device opens with the first deck; the capture file exists from then on.
        auto warm = deck(m_tone440);
        QVERIFY(warm);
        QVERIFY2(m_capture.waitFor(Rate / 10), "the disk driver writes nothing");
    }

    // Outputs bind by their exact name, trimmed; a file or output that fails leaves a silent
    // deck (in place of the chain that played), which still measures a song it could read.
    void opensBindOrLeaveASilentDeck() {
        const QString otherCase =
            m_output.toLower() != m_output ? m_output.toLower() : m_output.toUpper();
        QVERIFY(writeBytes(path("empty.mp3"), {}));
        QVERIFY(
            writeBytes(path("text.mp3"), QByteArray("this is not audio at all\n").repeated(40)));
        // Nobody writes to the pipe: opening it must not wait for a writer.
        QCOMPARE(mkfifo(QFile::encodeName(path("pipe.mp3")).constData(), 0600), 0);
        const QString three = wav("three.wav", 3.0);
        const int ok = Player::OpenOk, noOutput = Player::OpenNoOutput, noFile = Player::OpenNoFile;
        // File, output, status, the length it gives.
        std::vector<std::tuple<QString, QString, int, int>> rows = {
            {three, m_output, ok, 3},
            {three, "  " + m_output + "\t ", ok, 3},
            {three, otherCase, noOutput, 3},
            {three, QString(), noOutput, 3},
            {path("text.mp3"), m_output, int(Player::OpenNoDecoder), 0}};
        for (const QString& file : {path("empty.mp3"), path("nowhere/none.mp3"), QString(),
                                    m_dir.path(), path("pipe.mp3"), QStringLiteral("/dev/zero")})
            rows.push_back({file, m_output, noFile, 0});
        // Lengths round half to even; 2 kHz mono keeps the long ones small.
        for (const auto& [seconds, rounded] :
             {std::pair{205.5, 206}, {204.5, 204}, {12.4, 12}, {12.6, 13}})
            rows.push_back({wav(QStringLiteral("len-%1.wav").arg(seconds), seconds, 2000), m_output,
                            ok, rounded});
        for (const auto& [file, output, status, seconds] : rows) {
            auto p = deck(three, true);
            QVERIFY(p);
            p->setVolume(-100);
            QCOMPARE((std::tuple{file, output, int(open(*p, file, output)), p->Duration()}),
                     std::tuple(file, output, status, seconds));
            if (status != ok) {
                p->PlayFile();
                QCOMPARE(std::tuple(file, output, p->Volume(), p->Position()),
                         std::tuple(file, output, 0, 0));
            }
        }
    }

    void gettersHoldWhatTheBackEndApplied() {
        Player p; // a second file replaces the first chain
        QCOMPARE(open(p, wav("three.wav", 3.0), m_output), int16_t(Player::OpenOk));
        QCOMPARE(open(p, wav("twenty.wav", 20.0, 2000), m_output), int16_t(Player::OpenOk));
        for (const auto& [to, at] : {std::pair{13, 13}, {-4, 0}, {500, 20}}) {
            p.setPosition(to);
            QCOMPARE(p.Position(), at);
        }
        QCOMPARE(p.Volume(), 0);
        // Louder than full level or below -100 dB: refused.
        for (const auto& [to, held] : {std::pair{-7225, -7225}, {300, -7225}, {-10001, -7225}}) {
            p.setVolume(to);
            QCOMPARE(p.Volume(), held);
        }
        // Balance beyond what fits when scaled must not crash or wrap.
        p.setBalance(std::numeric_limits<int32_t>::max());
        p.setBalance(-11);
    }

    void releasedDecksFreeWhatTheyHeld() {
        const QString f = wav("held.wav", 2.0);
        auto openDescriptors = [&] { // on the file
            const QDir fds(QStringLiteral("/proc/self/fd"));
            int n = 0;
            for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System))
                n += QFile::symLinkTarget(fds.filePath(fd)) == QFileInfo(f).canonicalFilePath();
            return n;
        };
        {
            std::vector<std::unique_ptr<Player>> decks;
            for (int i = 0; i < 8; ++i) {
                decks.push_back(deck(f, i % 2));
                QVERIFY(decks.back());
            }
            QCOMPARE(openDescriptors(), 8);
        }
        // Freed on the audio worker once the device callback has moved on.
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), 0, 2000);
    }

    void volumeAndBalance() {
        auto p = deck(m_tone440);
        QVERIFY(p);
        p->setBalance(10);
        p->PlayFile();
        const auto right = listen(0.3);
        QCOMPARE(rms(right, 2, 0), 0.0);
        QVERIFY(std::abs(tone(right, 1, 440) - Amplitude) < 0.01);

        p->setVolume(-600);
        p->setBalance(-3); // the left 6 dB down, the right 6 + 30 dB
        const auto part = listen(0.3);
        QVERIFY(std::abs(decibels(tone(part, 0, 440), Amplitude) + 6.0) < 0.1);
        QVERIFY(std::abs(decibels(tone(part, 1, 440), Amplitude) + 36.0) < 0.2);
        // The song's own level on top: a playing song glides there over about a second.
        const auto levelAt = [&](int64_t frame) {
            return decibels(tone(m_capture.read(frame, Rate / 10), 0, 440), Amplitude);
        };
        const int64_t mark = m_capture.frames();
        p->setSongGain(-400);
        const int64_t end = m_capture.advance(1.4);
        QCOMPARE_LT(std::abs(levelAt(mark + Rate / 2) + 8.0), 1.5);
        QVERIFY(std::abs(levelAt(end - Rate / 10) + 10.0) < 0.1);

        p->setVolume(-10000);
        const auto silent = listen(0.2);
        QCOMPARE(rms(silent, 2, 0) + rms(silent, 2, 1), 0.0);
    }

    void anyRateAndChannelCountPlays() {
        for (const auto& [rate, channels, mp3] :
             {std::tuple{8000, 1, false}, {48000, 6, false}, {96000, 2, false}, {22050, 1, true}}) {
            // 5.1 folds front, centre and surround into each side at 0, -3 and -3 dB.
            const double fold = channels == 6 ? 1 + 2 * M_SQRT1_2 : 1;
            const Signal s{.seconds = 2,
                           .sampleRate = rate,
                           .channels = channels,
                           .amplitude = Amplitude / fold};
            const QString f = m_dir.filePath(
                QStringLiteral("fmt-%1-%2.%3").arg(rate).arg(channels).arg(mp3 ? "mp3" : "wav"));
            QVERIFY(mp3 ? writeMp3(f, s, Mp3Kind::Cbr, 64) : writeWav(f, s));
            auto p = deck(f, true);
            QVERIFY(p);
            QCOMPARE(p->Duration(), 2);
            const auto heard = listen(0.3);
            // The same pitch at the device's rate on both sides, nothing else (16 bits: -90 dB).
            QVERIFY(std::abs(tone(heard, 0, 440) - Amplitude) < 0.03);
            QVERIFY(std::abs(tone(heard, 1, 440) - Amplitude) < 0.03);
            QCOMPARE_LT(impurityDb(heard, 2, 0, Rate, 440), -75.0);
        }
    }

    void seekAndReopenMoveWhatIsHeard() {
        auto p = deck(m_steps, true);
        QVERIFY(p);
        QVERIFY(only(listen(0.3), 440, 1000));

        p->setPosition(4);
        QCOMPARE(p->Position(), 4); // at once, before a single frame of it was heard
        QVERIFY(only(listen(0.3), 1000, 440));
        QVERIFY(p->Position() >= 4 && p->Position() <= 5);

        p->PauseFile();
        p->setPosition(1);
        QCOMPARE(p->Position(), 1);
        p->PlayFile();
        QVERIFY(only(listen(0.3), 440, 1000));

        // Another file is loaded stopped: nothing sounds until PlayFile.
        p->setFilename(m_tone1000);
        QCOMPARE(p->OpenFile(), int16_t(0));
        QCOMPARE(rms(listen(0.3), 2, 0), 0.0);
        p->PlayFile();
        QVERIFY(only(listen(0.2), 1000, 440));
    }

    void positionFollowsTheSound() {
        auto p = deck(m_steps);
        QVERIFY(p);
        p->setPosition(1);
        const int64_t mark = m_capture.frames();
        p->PlayFile();
        // Position turns 3 at 2.5 s of the file; the switch to 1000 Hz comes 0.5 s later.
        QVERIFY(QTest::qWaitFor([&] { return p->Position() >= 3; }, 5000));
        const int64_t turned = m_capture.frames();
        const int64_t end = m_capture.advance(1.0);
        const auto heard = m_capture.read(mark, end - mark);
        const int64_t switchAt = toneStart(heard, 2, 0, Rate, 1000, Amplitude / 2, 512);
        QVERIFY(switchAt > 0);
        const double lead = (mark + switchAt - turned) / double(Rate);
        QVERIFY2(std::abs(lead - 0.5) < 0.08, qPrintable(QString::number(lead)));
    }

    void aPlayingDeckStaysSmooth() {
        auto p = deck(m_low, true);
        QVERIFY(p);
        QTest::qSleep(100);
        // Other decks loaded, played, sought, faded and dropped as fast as the total-length
        // command and the transitions would, on the same device, leave it alone.
        int64_t mark = m_capture.frames();
        for (int i = 0; i < 120; ++i) {
            auto other = deck(i % 2 ? m_tone1000 : m_steps);
            QVERIFY(other);
            other->setVolume(-10000);
            other->PlayFile();
            other->setPosition(i % 5);
            other->setPitch(1.0 + (i % 3) * 0.25);
            if (i % 4 == 0)
                QTest::qSleep(5);
        }
        int64_t end = m_capture.advance(0.1);
        const auto heard = m_capture.read(mark, end - mark);
        QVERIFY(heard.size() > 2 * Rate / 10);
        // Every 50 ms window holds the steady tone at its level, and nothing else.
        const size_t window = 2 * Rate / 20;
        for (size_t at = 0; at + window <= heard.size(); at += window) {
            const std::vector<float> part(heard.begin() + at, heard.begin() + at + window);
            QVERIFY(std::abs(tone(part, 0, 100) - 0.9) < 0.01);
            QVERIFY(std::abs(rms(part, 2, 0) - 0.9 / std::sqrt(2.0)) < 0.01);
        }

        // Its own worst cases do not click: full level to silence and back in single steps,
        // seeks while playing (fade out, jump, fade in), pausing and resuming.
        mark = m_capture.frames();
        for (int i = 0; i < 16; ++i) {
            if (i < 6)
                p->setVolume(i % 2 ? 0 : -10000);
            else if (i < 10)
                p->setPosition(i - 5);
            else
                i % 2 ? p->PlayFile() : p->PauseFile();
            QTest::qSleep(50);
        }
        end = m_capture.advance(0.1);
        const auto s = m_capture.read(mark, end - mark);
        // A 100 Hz sine at 0.9 moves at most 0.0128 per sample; an unramped step, up to 0.9.
        QCOMPARE_LT(largestStep(s, 2, 0), 0.03);
        QVERIFY(rms(s, 2, 0) > 0.1); // it did sound in between
    }
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
