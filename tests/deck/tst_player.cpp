// Player as its callers see it: the failure rules of a deck without a chain, output
// names and binding by name, status codes, durations and their rounding, and the values
// the getters hand back.

#include "fixtures.h"
#include "player.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace volaro::fixtures;

namespace {

struct Recorder {
    QStringList items;
    void addItem(const QString& s) { items << s; }
};

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_output;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A short tone file, created once per name.
    QString wav(const QString& name, double seconds, int rate = 8000, int channels = 1) {
        const QString p = path(name);
        if (!QFile::exists(p)) {
            Signal s;
            s.seconds = seconds;
            s.sampleRate = rate;
            s.channels = channels;
            if (!writeWav(p, s))
                qFatal("cannot write %s", qPrintable(p));
        }
        return p;
    }

    int16_t open(Player& p, const QString& file, const QString& output) {
        p.setFilename(file);
        p.setOutputDevice(output);
        return p.OpenFile();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QStringList names = Player::outputNames();
        QVERIFY(!names.isEmpty());
        m_output = names.first();
    }

    void newDeckDoesNothing() {
        Player p;
        p.PlayFile();
        p.PauseFile();
        p.StopFile();
        p.setPosition(12);
        p.setVolume(-500);
        p.setBalance(3);
        p.setPitch(1.5);
        QCOMPARE(p.Position(), 0);
        QCOMPARE(p.Volume(), 0);
        QCOMPARE(p.Pitch(), 0.0);
        QCOMPARE(p.Duration(), 0);
        QCOMPARE(p.Filename(), QString());
        QCOMPARE(p.OutputDevice(), QString());
    }

    void enumerationAppendsTheOutputNames() {
        Recorder r;
        r.addItem("already there");
        Player p;
        p.EnumDirectSoundDevices(r);
        QCOMPARE(r.items, QStringList{"already there"} + Player::outputNames());
        // Listing leaves the deck without a chain.
        p.PlayFile();
        QCOMPARE(p.Position(), 0);
    }

    void openBindsByTrimmedExactName() {
        const QString f = wav("three.wav", 3.0);
        Player exact;
        QCOMPARE(open(exact, f, m_output), int16_t(Player::OpenOk));
        QCOMPARE(exact.Duration(), 3);

        Player padded;
        QCOMPARE(open(padded, f, "  " + m_output + "\t "), int16_t(Player::OpenOk));

        const QString otherCase =
            m_output.toLower() != m_output ? m_output.toLower() : m_output.toUpper();
        QVERIFY(otherCase != m_output);
        Player wrongCase;
        QCOMPARE(open(wrongCase, f, otherCase), int16_t(Player::OpenNoOutput));
        // The deck stays without a chain, but the length of the file is known.
        QCOMPARE(wrongCase.Duration(), 3);
        wrongCase.PlayFile();
        QCOMPARE(wrongCase.Position(), 0);
        QCOMPARE(wrongCase.Volume(), 0);

        Player none;
        QCOMPARE(open(none, f, QString()), int16_t(Player::OpenNoOutput));
    }

    void failedOpensLeaveASilentDeck_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("status");
        QTest::newRow("empty") << QByteArray() << int(Player::OpenNoFile);
        QTest::newRow("text") << QByteArray("this is not audio at all\n").repeated(40)
                              << int(Player::OpenNoDecoder);
    }

    void failedOpensLeaveASilentDeck() {
        QFETCH(QByteArray, content);
        QFETCH(int, status);
        const QString f = path(QStringLiteral("bad-%1.mp3").arg(QTest::currentDataTag()));
        QVERIFY(writeBytes(f, content));
        Player p;
        p.setVolume(-100);
        QCOMPARE(int(open(p, f, m_output)), status);
        QCOMPARE(p.Duration(), 0);
        p.PlayFile();
        QCOMPARE(p.Volume(), 0);
        QCOMPARE(p.Position(), 0);
    }

    void missingAndDirectoryPaths() {
        Player missing;
        QCOMPARE(open(missing, path("nowhere/none.mp3"), m_output), int16_t(Player::OpenNoFile));
        Player dir;
        QCOMPARE(open(dir, m_dir.path(), m_output), int16_t(Player::OpenNoFile));
        QCOMPARE(dir.Duration(), 0);
        // Nobody writes to this pipe: opening it must not wait for a writer.
        const QString fifo = path("pipe.mp3");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        Player pipe;
        QCOMPARE(open(pipe, fifo, m_output), int16_t(Player::OpenNoFile));
        Player device;
        QCOMPARE(open(device, "/dev/zero", m_output), int16_t(Player::OpenNoFile));
    }

    void durationsRoundHalfToEven_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("expected");
        QTest::newRow("205.5") << 205.5 << 206;
        QTest::newRow("204.5") << 204.5 << 204;
        QTest::newRow("12.4") << 12.4 << 12;
        QTest::newRow("12.6") << 12.6 << 13;
    }

    void durationsRoundHalfToEven() {
        QFETCH(double, seconds);
        QFETCH(int, expected);
        // 2 kHz mono keeps the long ones small; the rate divides the lengths exactly.
        const QString f = wav(QStringLiteral("len-%1.wav").arg(seconds), seconds, 2000);
        Player p;
        QCOMPARE(open(p, f, m_output), int16_t(Player::OpenOk));
        QCOMPARE(p.Duration(), expected);
    }

    void positionRoundsHalfToEvenToo() {
        const QString f = wav("twenty.wav", 20.0, 2000);
        Player p;
        QCOMPARE(open(p, f, m_output), int16_t(Player::OpenOk));
        p.setPosition(13);
        QCOMPARE(p.Position(), 13);
        p.setPosition(-4); // before the start: the start
        QCOMPARE(p.Position(), 0);
        p.setPosition(500); // past the end: the end
        QCOMPARE(p.Position(), 20);
    }

    void gettersReturnWhatTheBackEndApplied() {
        const QString f = wav("three.wav", 3.0);
        Player p;
        QCOMPARE(open(p, f, m_output), int16_t(Player::OpenOk));
        QCOMPARE(p.Volume(), 0);
        p.setVolume(-7225);
        QCOMPARE(p.Volume(), -7225);
        p.setVolume(300); // louder than full level: refused
        QCOMPARE(p.Volume(), -7225);
        p.setVolume(-10001);
        QCOMPARE(p.Volume(), -7225);
        // Balance beyond what fits when scaled must not crash or wrap.
        p.setBalance(std::numeric_limits<int32_t>::max());
        p.setBalance(-11);
    }

    void reopeningReplacesTheChain() {
        Player p;
        QCOMPARE(open(p, wav("three.wav", 3.0), m_output), int16_t(Player::OpenOk));
        p.PlayFile();
        QCOMPARE(open(p, wav("seven.wav", 7.0), m_output), int16_t(Player::OpenOk));
        QCOMPARE(p.Duration(), 7);
        QCOMPARE(open(p, path("gone.wav"), m_output), int16_t(Player::OpenNoFile));
        QCOMPARE(p.Duration(), 0);
        p.PlayFile();
        QCOMPARE(p.Position(), 0);
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
        QCOMPARE(openDescriptors(), 0);
        {
            std::vector<std::unique_ptr<Player>> decks;
            for (int i = 0; i < 8; ++i) {
                decks.push_back(std::make_unique<Player>());
                QCOMPARE(open(*decks.back(), f, m_output), int16_t(Player::OpenOk));
                if (i % 2)
                    decks.back()->PlayFile();
            }
            QCOMPARE(openDescriptors(), 8);
        }
        // Freed on the audio worker once the device callback has moved on.
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), 0, 2000);
    }
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
