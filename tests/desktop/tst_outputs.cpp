// Decks on the private PulseAudio: the default sink, a sink unloaded, a server restart.

#include "deck/player.h"
#include "support/audiocapture.h"
#include "support/fixtures.h"
#include "support/sinkcapture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace volaro::fixtures;
using namespace volaro::capture;
using namespace volaro::deck;

namespace {

constexpr int Rate = 44100;
constexpr int Segments = 10; // the stepped song: one second per frequency

double segmentFrequency(int k) {
    return 400.0 + 150.0 * k;
}

QString pactl(const QStringList& args) {
    QProcess p;
    p.start("pactl", args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The index of the module that made a null sink.
QString sinkModule(const QString& sink) {
    for (const QString& line : pactl({"list", "modules", "short"}).split('\n'))
        if (line.contains("sink_name=" + sink + " ") || line.endsWith("sink_name=" + sink))
            return line.section('\t', 0, 0);
    return {};
}

} // namespace

class TestOutputs : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_low, m_high, m_stepped;
    QProcess m_server; // the sound server once this test has restarted it
    // Holds the default output busy: an idle null sink starts a stream up to 2 s late.
    std::unique_ptr<Player> m_warm;

    std::unique_ptr<Player> play(const QString& file, const QString& output) {
        auto p = std::make_unique<Player>();
        p->setFilename(file);
        p->setOutputDevice(output);
        if (p->OpenFile() != Player::OpenOk)
            return nullptr;
        p->PlayFile();
        return p;
    }

    std::unique_ptr<SinkCapture> capture(const QString& sink) {
        return std::make_unique<SinkCapture>(sink, m_dir.filePath(sink + ".raw"));
    }

    // The first segment of the stepped song heard in a tenth of a second after frame `mark`,
    // or -1. A rescued stream may sound a moment, fall silent and start again: the first tenth
    // after the first sound can be silence.
    static int firstSegmentSince(const SinkCapture& sink, int64_t mark) {
        for (int64_t at = mark; at < mark + 3 * Rate && sink.capture.waitFor(at + Rate / 10, 3000);
             at += 512) {
            const std::vector<float> tenth = sink.capture.read(at, Rate / 10);
            const auto level = [&](int k) {
                return toneAmplitude(tenth, 2, 0, Rate, segmentFrequency(k));
            };
            int best = 0;
            for (int k = 1; k < Segments; ++k)
                best = level(k) > level(best) ? k : best;
            if (level(best) > 0.1)
                return best;
        }
        return -1;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // The default source follows the default sink's monitor, and with it every capture of
        // that monitor; a source of its own keeps the captures where they are put.
        pactl({"load-module", "module-null-source", "source_name=volaro_mic"});
        pactl({"set-default-source", "volaro_mic"});
        m_low = m_dir.filePath("440.wav"), m_high = m_dir.filePath("1000.wav");
        QVERIFY(writeWav(m_low, {.frequency = 440, .seconds = 4}));
        QVERIFY(writeWav(m_high, {.frequency = 1000, .seconds = 4}));
        std::vector<float> stepped;
        for (int k = 0; k < Segments; ++k) {
            const std::vector<float> one = render({.frequency = segmentFrequency(k)});
            stepped.insert(stepped.end(), one.begin(), one.end());
        }
        m_stepped = m_dir.filePath("stepped.wav");
        QVERIFY(writeWavSamples(m_stepped, stepped, Rate, 2));
        m_warm = std::make_unique<Player>();
        m_warm->setFilename(m_low);
        m_warm->setOutputDevice("Default Output");
        QCOMPARE(m_warm->OpenFile(), Player::OpenOk);
    }

    void entryZeroIsTheDefaultAndFollowsIt() {
        QCOMPARE(Player::outputNames(),
                 (QStringList{"Default Output", "Volaro_Sink_A", "Volaro_Sink_B"}));
        auto a = capture("volaro_a");
        auto b = capture("volaro_b");
        // The user picks another default between two songs: the next one plays there.
        for (const auto& [song, tone, heard, silent, next] :
             {std::tuple{m_low, 440, a.get(), b.get(), "volaro_b"},
              {m_high, 1000, b.get(), a.get(), "volaro_a"}}) {
            auto p = play(song, "Default Output");
            QVERIFY(p);
            QVERIFY(heard->hears(tone, 5000));
            QVERIFY(!silent->hears(tone, 0));
            pactl({"set-default-sink", next});
        }
    }

    void unloadedSinkMovesTheSongToTheDefault() {
        auto a = capture("volaro_a");
        auto p = play(m_stepped, "Volaro_Sink_B");
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(p->Position() >= 3, 8000);
        QTest::qWait(100);
        const int at = p->Position(); // so at - 1 or at is playing
        const int64_t mark = a->capture.frames();
        pactl({"unload-module", sinkModule("volaro_b")});

        // Within about a second the song goes on on the default sink, from where it was.
        QVERIFY(a->hears(0, 1500));
        const int heard = firstSegmentSince(*a, mark);
        QVERIFY2(heard == at - 1 || heard == at,
                 qPrintable(QString("at %1 s, heard segment %2 first").arg(at).arg(heard)));
        QVERIFY(!p->outputLost());
        QTRY_VERIFY_WITH_TIMEOUT(p->Position() >= at + 2, 3000);
        // The next song asks for the output that has gone: it plays on the default too.
        auto next = play(m_high, "Volaro_Sink_B");
        QVERIFY(next);
        QVERIFY(a->hears(1000, 1500));
        pactl({"load-module", "module-null-sink", "sink_name=volaro_b",
               "sink_properties=device.description=Volaro_Sink_B"});
    }

    void serverRestartHoldsTheSongUntilItIsBack() {
        auto p = play(m_stepped, "Default Output");
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(p->Position() >= 2, 8000);
        pactl({"exit"});
        QTRY_VERIFY_WITH_TIMEOUT(p->outputLost(), 1500);
        const int at = p->Position();
        QTest::qWait(700);
        QCOMPARE(p->Position(), at); // silent and still while nothing takes the sound

        m_server.start("pulseaudio",
                       {"-n", "-F", qEnvironmentVariable("VOLARO_PULSE_CONFIG"), "--daemonize=no",
                        "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit=no"});
        QTRY_VERIFY_WITH_TIMEOUT(!pactl({"info"}).isEmpty(), 10000);
        auto a = capture("volaro_a");
        const int64_t mark = a->capture.frames();
        QTRY_VERIFY_WITH_TIMEOUT(!p->outputLost(), 1000);
        // A null sink that was idle starts its first stream up to two seconds late.
        QVERIFY(a->hears(0, 3000));
        const int heard = firstSegmentSince(*a, mark);
        QVERIFY2(heard == at - 1 || heard == at,
                 qPrintable(QString("at %1 s, heard segment %2 first").arg(at).arg(heard)));

        // The named outputs are the new server's (its sinks have new indexes).
        auto b = capture("volaro_b");
        auto named = play(m_high, "Volaro_Sink_B");
        QVERIFY(named);
        QVERIFY(b->hears(1000, 3000));
    }
};

QTEST_GUILESS_MAIN(TestOutputs)
#include "tst_outputs.moc"
