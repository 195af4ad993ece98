// Player as its callers see it: outputs by name, status codes, durations, getters.

#include "fixtures.h"
#include "player.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace volaro::fixtures;
using namespace volaro::deck;

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
            if (!writeWav(p, {.seconds = seconds, .sampleRate = rate, .channels = channels}))
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
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status");
        QVERIFY(writeBytes(path("empty.mp3"), {}));
        QVERIFY(
            writeBytes(path("text.mp3"), QByteArray("this is not audio at all\n").repeated(40)));
        // Nobody writes to the pipe: opening it must not wait for a writer.
        QCOMPARE(mkfifo(QFile::encodeName(path("pipe.mp3")).constData(), 0600), 0);
        const int noFile = Player::OpenNoFile;
        QTest::newRow("empty") << path("empty.mp3") << noFile;
        QTest::newRow("text") << path("text.mp3") << int(Player::OpenNoDecoder);
        QTest::newRow("missing") << path("nowhere/none.mp3") << noFile;
        QTest::newRow("directory") << m_dir.path() << noFile;
        QTest::newRow("pipe") << path("pipe.mp3") << noFile;
        QTest::newRow("device") << QStringLiteral("/dev/zero") << noFile;
    }

    void failedOpensLeaveASilentDeck() {
        QFETCH(QString, file);
        QFETCH(int, status);
        Player p;
        QCOMPARE(open(p, wav("three.wav", 3.0), m_output), int16_t(Player::OpenOk));
        p.PlayFile();
        p.setVolume(-100);
        QCOMPARE(int(open(p, file, m_output)), status); // replaces the chain that played
        QCOMPARE(p.Duration(), 0);
        p.PlayFile();
        QCOMPARE(p.Volume(), 0);
        QCOMPARE(p.Position(), 0);
    }

    void durationsRoundHalfToEven() {
        // 2 kHz mono keeps the long ones small; the rate divides the lengths exactly.
        for (const auto& [seconds, expected] :
             {std::pair{205.5, 206}, {204.5, 204}, {12.4, 12}, {12.6, 13}}) {
            Player p;
            const QString f = wav(QStringLiteral("len-%1.wav").arg(seconds), seconds, 2000);
            QCOMPARE(open(p, f, m_output), int16_t(Player::OpenOk));
            QCOMPARE(p.Duration(), expected);
        }
    }

    void positionIsClamped() {
        Player p; // a second file replaces the first chain
        QCOMPARE(open(p, wav("three.wav", 3.0), m_output), int16_t(Player::OpenOk));
        QCOMPARE(open(p, wav("twenty.wav", 20.0, 2000), m_output), int16_t(Player::OpenOk));
        for (const auto& [to, at] : {std::pair{13, 13}, {-4, 0}, {500, 20}}) {
            p.setPosition(to);
            QCOMPARE(p.Position(), at);
        }
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
