// The position monitor: time displays, the transition point, the choice of the next
// entry (order, wrap, shuffle) and failed songs, over recording decks.

#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::playback::testing;

namespace {

const QList<QPair<QString, int>> threeSongs{{QStringLiteral("/m/1.mp3"), 200},
                                            {QStringLiteral("/m/2.mp3"), 180},
                                            {QStringLiteral("/m/3.mp3"), 240}};

// Puts the current deck at `seconds` and runs one monitor tick.
void tickAt(Rig& rig, int seconds) {
    rig.incoming()->position = seconds;
    rig.e().tmrPosition_Timer();
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void displaysFollowThePosition();
    void orderPlayWrapsToTheTop();
    void nextOnLastThenTransitionPointStartsFirst();
    void shuffleWithOneEntryRepeatsIt();
    void shufflePicksFromTheDraw();
    void shuffleDefaultDrawStaysInRange();
    void failedSongIsSkippedOnNextTick();
    void shortSongAdvancesAtOnce();
    void transitionTimeMovesThePointAtOnce();
    void emptyListAtTransitionPoint();
    void positionOutsideSliderRange();
    void monitorRunsFromFirstLoad();
};

void TestMonitor::workedExample() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.spinTransitionTime.setValue(8);
    e.btnPlay_Click();
    rig.finishTransition();
    QCOMPARE(e.SongStart, 5);
    QCOMPARE(e.SongEnd, 190);

    tickAt(rig, 181);
    QCOMPARE(e.display().lblTotal, QStringLiteral("03:05"));
    QCOMPARE(e.display().lblPosition, QStringLiteral("02:56"));
    QCOMPARE(e.display().lblTimeLeft, QStringLiteral("00:09"));
    QCOMPARE(e.hscPosition.value(), 176);
    QCOMPARE(e.CurrentIndex, 1);

    QSignalSpy position(&e, &PlaybackEngine::positionTextChanged);
    QSignalSpy left(&e, &PlaybackEngine::timeLeftTextChanged);
    const int firstDeck = e.CurrentDeck;
    tickAt(rig, 182);
    QCOMPARE(position.first().at(0).toString(), QStringLiteral("02:57"));
    QCOMPARE(left.first().at(0).toString(), QStringLiteral("00:08"));
    QCOMPARE(e.CurrentIndex, 2);
    QCOMPARE(e.CurrentDeck, 1 - firstDeck);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/2.mp3"));
    QVERIFY(rig.outgoing()->playing); // fades out over its last 8 s
    QCOMPARE(e.tmrTransition.interval(), 8000 / 85);
    // The loader reset the slider for the new song without seeking.
    QCOMPARE(e.hscPosition.value(), 0);
    QCOMPARE(e.hscPosition.maximum(), 165);
    QCOMPARE(rig.incoming()->position, 5);
}

void TestMonitor::displaysFollowThePosition() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    QSignalSpy percent(&e, &PlaybackEngine::positionPercentChanged);
    QSignalSpy slider(&e, &PlaybackEngine::positionSliderChanged);
    const QStringList before = rig.park.callsOf(rig.incoming()->serial);
    tickAt(rig, 50);
    QCOMPARE(e.hscPosition.value(), 50);
    QCOMPARE(percent.last().at(0).toInt(), 25);
    QCOMPARE(slider.last().at(0).toInt(), 50);
    QCOMPARE(e.display().lblPosition, QStringLiteral("00:50"));
    QCOMPARE(e.display().lblTimeLeft, QStringLiteral("02:30"));
    // A program move of the slider never seeks.
    QCOMPARE(rig.park.callsOf(rig.incoming()->serial), before);
    // The same position again moves nothing.
    percent.clear();
    tickAt(rig, 50);
    QCOMPARE(percent.count(), 0);
}

void TestMonitor::orderPlayWrapsToTheTop() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    QStringList played{rig.incoming()->file};
    for (int song = 0; song < 3; ++song) {
        rig.finishTransition();
        tickAt(rig, e.SongEnd - 1); // exactly at the transition point (1 s)
        if (e.CurrentIndex == 0) {
            // Past the end: nothing started; the next tick starts entry 1.
            QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
            tickAt(rig, e.SongEnd - 1);
        }
        played << rig.incoming()->file;
    }
    QCOMPARE(played, QStringList({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/1.mp3"}));
    QCOMPARE(e.CurrentIndex, 1);
}

void TestMonitor::nextOnLastThenTransitionPointStartsFirst() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.CurrentIndex = 3;
    e.btnNext_Click();
    QCOMPARE(e.CurrentIndex, 0);
    tickAt(rig, 100);
    QCOMPARE(e.CurrentIndex, 0);
    tickAt(rig, 199);
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
}

void TestMonitor::shuffleWithOneEntryRepeatsIt() {
    Rig rig({{QStringLiteral("/m/only.mp3"), 60}});
    PlaybackEngine& e = rig.e();
    e.chkRndPlay.setValue(1);
    e.btnPlay_Click();
    for (int round = 0; round < 4; ++round) {
        const int deckBefore = e.CurrentDeck;
        rig.finishTransition();
        tickAt(rig, 59);
        QCOMPARE(e.CurrentIndex, 1);
        QCOMPARE(e.CurrentDeck, 1 - deckBefore);
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/only.mp3"));
        QCOMPARE(rig.incoming()->position, 0);
    }
}

void TestMonitor::shufflePicksFromTheDraw() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    QList<double> draws{0.70, 0.0, 0.999999, 0.34};
    e.setRandomSource([&draws] { return draws.takeFirst(); });
    QSignalSpy shuffle(&e, &PlaybackEngine::shuffleChanged);
    QVERIFY(e.chkRndPlay.setValue(1));
    QCOMPARE(shuffle.count(), 1);
    QVERIFY(!e.chkRndPlay.setValue(2));
    e.btnPlay_Click();
    QList<int> picked;
    for (int i = 0; i < 4; ++i) {
        rig.finishTransition();
        tickAt(rig, e.SongEnd - 1);
        picked << e.CurrentIndex;
    }
    QCOMPARE(picked, QList<int>({3, 1, 3, 2}));
    // Next and Back keep list order in shuffle mode.
    e.btnBack_Click();
    QCOMPARE(e.CurrentIndex, 1);
}

void TestMonitor::shuffleDefaultDrawStaysInRange() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.chkRndPlay.setValue(1);
    e.btnPlay_Click();
    for (int i = 0; i < 20; ++i) {
        rig.finishTransition();
        tickAt(rig, e.SongEnd);
        QVERIFY2(e.CurrentIndex >= 1 && e.CurrentIndex <= 3,
                 qPrintable(QString::number(e.CurrentIndex)));
    }
}

void TestMonitor::failedSongIsSkippedOnNextTick() {
    Rig rig({{QStringLiteral("/m/1.mp3"), 100},
             {QStringLiteral("/m/missing.mp3"), -1},
             {QStringLiteral("/m/3.mp3"), 100}});
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    tickAt(rig, 99);
    QCOMPARE(e.CurrentIndex, 2);
    QCOMPARE(e.SongEnd, 0);
    QCOMPARE(rig.list.subItem(2, 9), QStringLiteral("0"));
    QCOMPARE(rig.list.subItem(2, 1), QStringLiteral("00:00"));
    const int survivor = rig.outgoing()->serial; // song 1 keeps fading out meanwhile
    QVERIFY(rig.outgoing()->playing);
    e.tmrPosition_Timer();
    QCOMPARE(e.CurrentIndex, 3);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
    QVERIFY(rig.park.find(survivor) == nullptr); // its deck received song 3
}

void TestMonitor::shortSongAdvancesAtOnce() {
    Rig rig({{QStringLiteral("/m/tiny.wav"), 3}, {QStringLiteral("/m/2.mp3"), 100}});
    PlaybackEngine& e = rig.e();
    e.spinTransitionTime.setValue(5);
    e.btnPlay_Click();
    tickAt(rig, 0);
    QCOMPARE(e.CurrentIndex, 2);
}

void TestMonitor::transitionTimeMovesThePointAtOnce() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    tickAt(rig, 180);
    QCOMPARE(e.CurrentIndex, 1);
    e.spinTransitionTime.setValue(20);
    tickAt(rig, 180);
    QCOMPARE(e.CurrentIndex, 2);
}

void TestMonitor::emptyListAtTransitionPoint() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    FakeDeck* current = rig.incoming();
    const QStringList saved = rig.list.locations;
    rig.list.locations.clear();
    tickAt(rig, 199);
    QCOMPARE(e.CurrentIndex, -1);
    QCOMPARE(e.PlayState, 0);
    QVERIFY(!current->playing);
    // Every later tick at the point stops again while the list is empty...
    e.tmrPosition_Timer();
    QCOMPARE(e.CurrentIndex, -1);
    // ...and starts entry 1 as soon as the list has rows.
    rig.list.locations = saved;
    e.tmrPosition_Timer();
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
}

void TestMonitor::positionOutsideSliderRange() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(10);
    e.btnPlay_Click();
    tickAt(rig, 30);
    QCOMPARE(e.hscPosition.value(), 20);
    QSignalSpy slider(&e, &PlaybackEngine::positionSliderChanged);
    tickAt(rig, 4); // before the cut-first point: the slider refuses -6
    QCOMPARE(slider.count(), 0);
    QCOMPARE(e.hscPosition.value(), 20);
    QCOMPARE(e.display().lblPosition, QStringLiteral("00:-06"));
    QCOMPARE(e.display().prgPosition, 11); // 20 of 190
}

void TestMonitor::monitorRunsFromFirstLoad() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    QVERIFY(!e.tmrPosition.isActive());
    QCOMPARE(e.tmrPosition.interval(), 100);
    e.btnPlay_Click();
    QVERIFY(e.tmrPosition.isActive());
    e.btnStop_Click();
    QVERIFY(e.tmrPosition.isActive());
    // The real timer drives the displays.
    rig.incoming()->position = 65;
    QTRY_COMPARE_WITH_TIMEOUT(e.display().lblPosition, QStringLiteral("01:05"), 5000);
}

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
