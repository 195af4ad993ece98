// The five transition laws, the closing tick and the timing of a transition, driven
// through the real tick handler over recording decks.

#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::playback::testing;

namespace {

const QList<QPair<QString, int>> twoSongs{{QStringLiteral("/m/a.mp3"), 300},
                                          {QStringLiteral("/m/b.mp3"), 300}};

// Plays song 1 in with a Cross Dissolve, then starts song 2 with `type`: the state the
// example table starts from (incoming silent, outgoing at the master level).
void startSecondTransition(Rig& rig, int type) {
    rig.e().btnPlay_Click();
    rig.finishTransition();
    rig.e().optTransition.setValue(type);
    rig.e().btnNext_Click();
}

} // namespace

class TestTransitions : public QObject {
    Q_OBJECT
private slots:
    void lawTable_data();
    void lawTable();
    void closingTickStopsOutgoing_data();
    void closingTickStopsOutgoing();
    void crossDissolveMovesOneUnitPerTick();
    void cutStopsOutgoingAtEveryTick();
    void mixKeepsBothAtMasterLevel();
    void oneSecondAtFullVolumeIs86TicksOf11ms();
    void intervalComputation_data();
    void intervalComputation();
    void masterVolumeZeroClosesAtFirstTick();
    void zeroTransitionTimeFinishesAtOnce();
    void masterVolumeMovedDuringTransition();
    void typeChangedDuringTransitionSwitchesLaw();
    void firstSongWithDownUpIsSilentFirstHalf();
    void realTimerRunsTheTransition();
};

void TestTransitions::lawTable_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("master");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");

    // Cross Dissolve
    QTest::newRow("CD 85 s=1") << 0 << 85 << 1 << 84 << 1;
    QTest::newRow("CD 85 s=42") << 0 << 85 << 42 << 43 << 42;
    QTest::newRow("CD 85 s=85") << 0 << 85 << 85 << 0 << 85;
    QTest::newRow("CD 60 s=1") << 0 << 60 << 1 << 84 << 26;
    QTest::newRow("CD 60 s=30") << 0 << 60 << 30 << 55 << 55;
    QTest::newRow("CD 60 s=60") << 0 << 60 << 60 << 25 << 85;
    // Up Down
    QTest::newRow("UD 85 s=1") << 1 << 85 << 1 << 83 << 0;
    QTest::newRow("UD 85 s=42") << 1 << 85 << 42 << 1 << 0;
    QTest::newRow("UD 85 s=43") << 1 << 85 << 43 << 1 << 1;
    QTest::newRow("UD 85 s=85") << 1 << 85 << 85 << 1 << 85;
    QTest::newRow("UD 60 s=1") << 1 << 60 << 1 << 83 << 25;
    QTest::newRow("UD 60 s=30") << 1 << 60 << 30 << 25 << 25;
    QTest::newRow("UD 60 s=31") << 1 << 60 << 31 << 25 << 27;
    QTest::newRow("UD 60 s=60") << 1 << 60 << 60 << 25 << 85;
    // Down  Up
    QTest::newRow("DU 85 s=1") << 2 << 85 << 1 << 85 << 2;
    QTest::newRow("DU 85 s=42") << 2 << 85 << 42 << 85 << 84;
    QTest::newRow("DU 85 s=43") << 2 << 85 << 43 << 84 << 84;
    QTest::newRow("DU 85 s=85") << 2 << 85 << 85 << 0 << 84;
    QTest::newRow("DU 60 s=1") << 2 << 60 << 1 << 85 << 27;
    QTest::newRow("DU 60 s=30") << 2 << 60 << 30 << 85 << 85;
    QTest::newRow("DU 60 s=31") << 2 << 60 << 31 << 83 << 85;
    QTest::newRow("DU 60 s=60") << 2 << 60 << 60 << 25 << 85;
    // Mix
    QTest::newRow("Mix 60 s=1") << 3 << 60 << 1 << 25 << 25;
    QTest::newRow("Mix 60 s=30") << 3 << 60 << 30 << 25 << 25;
    QTest::newRow("Mix 60 s=60") << 3 << 60 << 60 << 25 << 25;
    QTest::newRow("Mix 85 s=1") << 3 << 85 << 1 << 0 << 0;
    // Cut
    QTest::newRow("Cut 60 s=1") << 4 << 60 << 1 << 25 << 85;
    QTest::newRow("Cut 60 s=30") << 4 << 60 << 30 << 25 << 85;
    QTest::newRow("Cut 60 s=60") << 4 << 60 << 60 << 25 << 85;
    QTest::newRow("Cut 85 s=1") << 4 << 85 << 1 << 0 << 85;
}

void TestTransitions::lawTable() {
    QFETCH(int, type);
    QFETCH(int, master);
    QFETCH(int, step);
    QFETCH(int, in);
    QFETCH(int, out);

    Rig rig(twoSongs, master);
    startSecondTransition(rig, type);
    PlaybackEngine& e = rig.e();
    const int inDeck = e.CurrentDeck;
    QCOMPARE(e.vscVolume[inDeck].value(), 85); // the loader starts it silent
    QCOMPARE(e.vscVolume[1 - inDeck].value(), 85 - master);

    for (int s = 1; s <= step; ++s)
        e.tmrTransition_Timer();

    QCOMPARE(e.TransitionStep, step);
    QVERIFY(e.tmrTransition.isActive());
    QCOMPARE(e.vscVolume[inDeck].value(), in);
    QCOMPARE(e.vscVolume[1 - inDeck].value(), out);
    // The decks hear the law through the volume curve -(a*a) hundredths of a dB.
    QCOMPARE(rig.incoming()->volume, -(in * in));
    QCOMPARE(rig.outgoing()->volume, -(out * out));
    QCOMPARE(e.display().lblVolume[inDeck], QString::number(qRound((85 - in) / 85.0 * 100)));
}

void TestTransitions::closingTickStopsOutgoing_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("master");
    for (int type = 0; type < 5; ++type)
        for (int master : {85, 60}) {
            const QByteArray name = QByteArray::number(type) + " at " + QByteArray::number(master);
            QTest::newRow(name.constData()) << type << master;
        }
}

void TestTransitions::closingTickStopsOutgoing() {
    QFETCH(int, type);
    QFETCH(int, master);
    Rig rig(twoSongs, master);
    startSecondTransition(rig, type);
    PlaybackEngine& e = rig.e();
    FakeDeck* out = rig.outgoing();
    FakeDeck* in = rig.incoming();

    for (int s = 1; s <= master; ++s)
        e.tmrTransition_Timer();
    QVERIFY(e.tmrTransition.isActive());
    if (type != 4)
        QVERIFY2(out->playing, "the outgoing song plays until the closing tick");

    const int inLevel = e.vscVolume[e.CurrentDeck].value();
    const int outLevel = e.vscVolume[1 - e.CurrentDeck].value();
    e.tmrTransition_Timer();
    QVERIFY(!e.tmrTransition.isActive());
    QCOMPARE(e.TransitionStep, 0);
    QVERIFY(!out->playing);
    QCOMPARE(rig.park.callsOf(out->serial).last(), QStringLiteral("stop"));
    QVERIFY(in->playing);
    // The closing tick only stops: no level moves.
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), inLevel);
    QCOMPARE(e.vscVolume[1 - e.CurrentDeck].value(), outLevel);
    // The outgoing Player stays in place until the next load onto its deck.
    QCOMPARE(rig.outgoing(), out);
}

void TestTransitions::crossDissolveMovesOneUnitPerTick() {
    Rig rig(twoSongs, 85);
    startSecondTransition(rig, 0);
    PlaybackEngine& e = rig.e();
    const int inDeck = e.CurrentDeck;
    int prevIn = e.vscVolume[inDeck].value();
    int prevOut = e.vscVolume[1 - inDeck].value();
    for (int s = 1; s <= 85; ++s) {
        e.tmrTransition_Timer();
        QCOMPARE(e.vscVolume[inDeck].value(), prevIn - 1);
        QCOMPARE(e.vscVolume[1 - inDeck].value(), prevOut + 1);
        prevIn = e.vscVolume[inDeck].value();
        prevOut = e.vscVolume[1 - inDeck].value();
    }
    // One volume call per changed level per tick.
    const QStringList inCalls = rig.park.callsOf(rig.incoming()->serial).filter("volume");
    // The fader already stood at silence, so the loader's set runs nothing and only its
    // explicit handler call reaches the deck; then one call per tick.
    QCOMPARE(inCalls.size(), 1 + 85);
}

void TestTransitions::cutStopsOutgoingAtEveryTick() {
    Rig rig(twoSongs, 60);
    startSecondTransition(rig, 4);
    FakeDeck* out = rig.outgoing();
    const int stopsBefore = rig.park.callsOf(out->serial).count("stop");
    QCOMPARE(rig.finishTransition(), 61);
    QCOMPARE(rig.park.callsOf(out->serial).count("stop") - stopsBefore, 61);
    QCOMPARE(rig.incoming()->volume, -(25 * 25));
    QCOMPARE(out->volume, -(85 * 85));
}

void TestTransitions::mixKeepsBothAtMasterLevel() {
    Rig rig(twoSongs, 60);
    startSecondTransition(rig, 3);
    PlaybackEngine& e = rig.e();
    QSignalSpy masterText(&e, &PlaybackEngine::masterVolumeTextChanged);
    for (int s = 1; s <= 60; ++s) {
        e.tmrTransition_Timer();
        QCOMPARE(rig.incoming()->volume, -625);
        QCOMPARE(rig.outgoing()->volume, -625);
        QVERIFY(rig.outgoing()->playing);
    }
    // Each Mix tick runs the master volume handling, which rewrites its label.
    QCOMPARE(masterText.count(), 60);
    QCOMPARE(masterText.last().at(0).toString(), QStringLiteral("71%"));
    e.tmrTransition_Timer();
    QVERIFY(!rig.outgoing()->playing);
}

void TestTransitions::oneSecondAtFullVolumeIs86TicksOf11ms() {
    Rig rig(twoSongs, 85);
    startSecondTransition(rig, 0);
    QCOMPARE(rig.e().tmrTransition.interval(), 11);
    QCOMPARE(rig.e().tmrTransition.timerType(), Qt::PreciseTimer);
    QCOMPARE(rig.finishTransition(), 86);
}

void TestTransitions::intervalComputation_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("master");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 s at 85") << 1 << 85 << 11;
    QTest::newRow("5 s at 85") << 5 << 85 << 58;
    QTest::newRow("8 s at 85") << 8 << 85 << 94;
    QTest::newRow("100 s at 85") << 100 << 85 << 1176;
    QTest::newRow("10 s at 60") << 10 << 60 << 166;
    // Beyond the old 65,535 ms timer limit the computed interval is used as it is.
    QTest::newRow("66 s at 1") << 66 << 1 << 66000;
    QTest::newRow("500 s at 2") << 500 << 2 << 250000;
    QTest::newRow("huge") << 2147483647 << 1 << 2147483647;
}

void TestTransitions::intervalComputation() {
    QFETCH(int, seconds);
    QFETCH(int, master);
    QFETCH(int, expected);
    QCOMPARE(PlaybackEngine::transitionInterval(seconds, master), std::optional<int>(expected));

    if (seconds > 1000)
        return;
    Rig rig(twoSongs, master);
    rig.e().TransitionTime = seconds;
    rig.e().btnPlay_Click();
    QCOMPARE(rig.e().tmrTransition.interval(), expected);
    QVERIFY(rig.e().tmrTransition.isActive());
}

void TestTransitions::masterVolumeZeroClosesAtFirstTick() {
    QVERIFY(!PlaybackEngine::transitionInterval(5, 0).has_value());
    Rig rig(twoSongs, 0);
    PlaybackEngine& e = rig.e();
    e.TransitionTime = 5;
    e.btnPlay_Click();
    // No interval can be computed: the timer keeps the one it had.
    QCOMPARE(e.tmrTransition.interval(), 100);
    QVERIFY(e.tmrTransition.isActive());
    FakeDeck* out = rig.outgoing();
    e.tmrTransition_Timer();
    QVERIFY(!e.tmrTransition.isActive());
    QCOMPARE(rig.park.callsOf(out->serial).last(), QStringLiteral("stop"));
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 85);
    QCOMPARE(rig.incoming()->volume, -7225);
}

void TestTransitions::zeroTransitionTimeFinishesAtOnce() {
    Rig rig(twoSongs, 60);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.TransitionTime = 0; // only an edited settings file can give this
    e.optTransition.setValue(2);
    e.btnNext_Click();
    QVERIFY(!e.tmrTransition.isActive());
    QCOMPARE(e.TransitionStep, 0);
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 25);
    QCOMPARE(rig.incoming()->volume, -625);
    QVERIFY(rig.incoming()->playing);
    QVERIFY(!rig.outgoing()->playing);
    QCOMPARE(e.vscVolume[1 - e.CurrentDeck].value(), 85);
}

void TestTransitions::masterVolumeMovedDuringTransition() {
    Rig rig(twoSongs, 85);
    startSecondTransition(rig, 0);
    PlaybackEngine& e = rig.e();
    for (int s = 1; s <= 20; ++s)
        e.tmrTransition_Timer();
    const int interval = e.tmrTransition.interval();
    // The incoming deck jumps to the new master level at once...
    e.hscVolume.setValue(50);
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 35);
    QCOMPARE(rig.incoming()->volume, -1225);
    QCOMPARE(e.vscVolume[1 - e.CurrentDeck].value(), 20); // the other deck is untouched
    QCOMPARE(e.tmrTransition.interval(), interval);       // computed once per transition
    // ...and the law goes on with the new V: out = (85 - 50) + s.
    e.tmrTransition_Timer();
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 85 - 21);
    QCOMPARE(e.vscVolume[1 - e.CurrentDeck].value(), 35 + 21);
    // Lowering V below the step reached closes the transition at the next tick.
    e.hscVolume.setValue(10);
    e.tmrTransition_Timer();
    QVERIFY(!e.tmrTransition.isActive());
    QVERIFY(!rig.outgoing()->playing);
}

void TestTransitions::typeChangedDuringTransitionSwitchesLaw() {
    Rig rig(twoSongs, 85);
    startSecondTransition(rig, 0);
    PlaybackEngine& e = rig.e();
    for (int s = 1; s <= 10; ++s)
        e.tmrTransition_Timer();
    QCOMPARE(e.TransitionType, 0);
    e.optTransition.setValue(4);
    QCOMPARE(e.TransitionType, 4);
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 75); // nothing moves until the tick
    e.tmrTransition_Timer();
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 0);
    QCOMPARE(e.vscVolume[1 - e.CurrentDeck].value(), 85);
    QVERIFY(!rig.outgoing()->playing);
}

void TestTransitions::firstSongWithDownUpIsSilentFirstHalf() {
    Rig rig(twoSongs, 85);
    PlaybackEngine& e = rig.e();
    e.optTransition.setValue(2);
    e.btnPlay_Click();
    for (int s = 1; s <= 42; ++s) {
        e.tmrTransition_Timer();
        QCOMPARE(rig.incoming()->volume, -7225);
    }
    e.tmrTransition_Timer();
    QCOMPARE(rig.incoming()->volume, -(84 * 84));
    QCOMPARE(rig.finishTransition(), 43);
    QCOMPARE(rig.incoming()->volume, 0);
}

void TestTransitions::realTimerRunsTheTransition() {
    Rig rig(twoSongs, 85);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    QVERIFY(e.tmrTransition.isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!e.tmrTransition.isActive(), 10000);
    QCOMPARE(rig.incoming()->volume, 0);
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 0);
}

QTEST_GUILESS_MAIN(TestTransitions)
#include "tst_transitions.moc"
