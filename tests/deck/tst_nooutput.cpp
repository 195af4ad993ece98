// No audio back end: listing throws, as start-up expects; decks stay silent, but measure.

#include "deck/player.h"
#include "support/fixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using namespace volaro::deck;

struct Recorder {
    QStringList items;
    void addItem(const QString& s) { items << s; }
};

class TestNoOutput : public QObject {
    Q_OBJECT

private slots:
    void listingThrowsAndDecksStayQuiet() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Player::outputNames());
        Recorder r;
        Player p;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, p.EnumDirectSoundDevices(r));
        QVERIFY(r.items.isEmpty());

        QTemporaryDir dir;
        const QString f = dir.filePath("three.wav");
        QVERIFY(volaro::fixtures::writeWav(f, {.seconds = 3, .sampleRate = 8000}));
        p.setFilename(f);
        p.setOutputDevice("Default Output");
        QCOMPARE(p.OpenFile(), int16_t(Player::OpenNoOutput));
        QCOMPARE(p.Duration(), 3);
        p.PlayFile();
        p.setPosition(2);
        p.setVolume(-100);
        QCOMPARE(std::tuple(p.Position(), p.Volume(), p.Pitch()), std::tuple(0, 0, 0.0));
    }
};

QTEST_GUILESS_MAIN(TestNoOutput)
#include "tst_nooutput.moc"
