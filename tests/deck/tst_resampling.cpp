// A deck converting songs of every rate to outputs of other rates: the tone that comes out
// carries nothing else (noise, spurs, jumps at the boundaries of the decoded chunks or
// after a seek) above -90 dB. The deck is driven as the audio engine drives it, without a
// device: exact samples, no real-time timing.

#include "deck/deckstream.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"
#include "support/audiocapture.h"
#include "support/fixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace volaro::capture;
using namespace volaro::deck;
using namespace volaro::fixtures;

class TestResampling : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // `seconds` of what the deck plays, after `skip` seconds of it (its fade-in).
    static std::vector<float> play(DeckStream& deck, int rate, double seconds, double skip) {
        constexpr int Period = 1024;
        std::vector<float> out;
        std::vector<float> period(Period * 2);
        const auto from = static_cast<size_t>(skip * rate) * 2;
        while (out.size() < from + static_cast<size_t>(seconds * rate) * 2) {
            deck.produce();
            std::fill(period.begin(), period.end(), 0.0f);
            deck.mixInto(period.data(), Period, 0, -1);
            out.insert(out.end(), period.begin(), period.end());
        }
        return {out.begin() + static_cast<ptrdiff_t>(from), out.end()};
    }

private slots:
    void everyRateComesOutPure() {
        // File rate, output rate, tone.
        const std::tuple<int, int, double> rows[] = {{48000, 44100, 1000},  {48000, 44100, 15000},
                                                     {96000, 44100, 15000}, {22050, 44100, 9000},
                                                     {44100, 48000, 15000}, {44100, 44100, 15000}};
        for (const auto& [fileRate, outputRate, tone] : rows) {
            const QString file = m_dir.filePath(
                QStringLiteral("%1-%2-%3.wav").arg(fileRate).arg(outputRate).arg(tone));
            // Float samples: a 16-bit file would bring its own noise near -92 dB.
            QVERIFY(writeWav(
                file, {.frequency = tone, .seconds = 4, .sampleRate = fileRate, .amplitude = 0.5},
                true));
            DeckStream deck(Decoder::open(MediaBytes::openFile(file)), outputRate, 1024);
            deck.setPlaying(true);
            const auto heard = play(deck, outputRate, 1.5, 0.1);
            const double left = impurityDb(heard, 2, 0, outputRate, tone);
            const double right = impurityDb(heard, 2, 1, outputRate, tone);
            QVERIFY2(std::abs(toneAmplitude(heard, 2, 0, outputRate, tone) - 0.5) < 0.01,
                     qPrintable(file));
            // After a seek the converter starts afresh from the new place, as clean.
            deck.seek(2.25);
            const double after =
                impurityDb(play(deck, outputRate, 1.0, 0.05), 2, 0, outputRate, tone);
            const double worst = std::max({left, right, after});
            QVERIFY2(worst < -90, qPrintable(file + ": " + QString::number(worst) + " dB"));
        }
    }
};

QTEST_GUILESS_MAIN(TestResampling)
#include "tst_resampling.moc"
