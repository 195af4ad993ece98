// Transport commands, the range rules of DoTransition, the song loader, the output choice
// and the position monitor, over recording decks and a recording list.

#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::playback::testing;

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void stateTable_data();
    void stateTable();
    void doTransitionRangeRules();
    void nextDuringTransitionRestartsOnOtherDeck();
    void playSelectedAndShowItem_data();
    void playSelectedAndShowItem();
    void loaderAppliesTrims_data();
    void loaderAppliesTrims();
    void loaderStartsSilentAndSeeks();
    void trimChangesWaitForNextLoad();
    void outputChoiceRebuildsDecks();
    void oddStatesSurvive();
    void monitorWorkedExample();
    void transitionPoint_data();
    void transitionPoint();
    void orderPlayWrapsToTheTop();
    void shuffle();
    void failedSongIsSkippedOnNextTick();
    void emptyListAtTransitionPoint();
    void positionBeforeTheStartPoint();
    void monitorRunsFromFirstLoad();
};

void TestTransport::stateTable_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("firstCall"); // on the deck current before: "" none, "-" any
    QTest::addColumn<QString>("file");      // on the current deck after
    const auto row = [](const char* from, const char* command, int state, int index,
                        const char* call, int song) {
        QTest::addRow("%s + %s", from, command)
            << from << command << state << index << call << QStringLiteral("/m/%1.mp3").arg(song);
    };
    row("Stop", "Play", 1, 1, "-", 1); // play from stop starts entry 1
    row("Stop", "Pause", 2, 2, "pause", 2);
    row("Stop", "Stop", 0, 2, "stop", 2);
    row("Stop", "Next", 0, 3, "-", 3); // the song changes, the state stays
    row("Stop", "Back", 0, 1, "-", 1);
    row("Play", "Play", 1, 2, "", 2);
    row("Play", "Pause", 2, 2, "pause", 2);
    row("Play", "Stop", 0, 2, "stop", 2);
    row("Play", "Next", 1, 3, "-", 3);
    row("Play", "Back", 1, 1, "-", 1);
    row("Pause", "Play", 1, 2, "play", 2); // resumes, starts no song
    row("Pause", "Pause", 1, 2, "play", 2);
    row("Pause", "Stop", 0, 2, "stop", 2);
    row("Pause", "Next", 1, 3, "play", 3); // resumes first; it fades out now
    row("Pause", "Back", 1, 1, "play", 1);
}

void TestTransport::stateTable() {
    QFETCH(QString, from);
    QFETCH(QString, command);
    QFETCH(int, state);
    QFETCH(int, index);
    QFETCH(QString, firstCall);
    QFETCH(QString, file);
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.playing().e();
    e.btnNext_Click(); // a transition runs: both decks sound
    if (from == "Pause")
        e.btnPause_Click();
    else if (from == "Stop")
        e.btnStop_Click();
    FakeDeck* current = rig.incoming();
    FakeDeck* other = rig.outgoing();
    rig.park.log.clear();
    QSignalSpy status(&e, &PlaybackEngine::statusTextChanged);

    if (command == "Play")
        e.btnPlay_Click();
    else if (command == "Pause")
        e.btnPause_Click();
    else if (command == "Stop")
        e.btnStop_Click();
    else if (command == "Next")
        e.btnNext_Click();
    else
        e.btnBack_Click();

    const QString label = QStringList{"Stop", "Play", "Pause"}.at(state);
    QCOMPARE(e.PlayState, state);
    QCOMPARE(e.CurrentIndex, index);
    QCOMPARE(e.display().lblStatus, label);
    if (command != "Next" && command != "Back") // these rewrite the label only when resuming
        QCOMPARE(status.count(), 1);
    if (!status.isEmpty())
        QCOMPARE(status.last().at(0).toString(), label);
    QCOMPARE(rig.incoming()->file, file);
    if (firstCall != "-")
        QCOMPARE(rig.park.callsOf(current->serial).value(0), firstCall);
    if (command == "Stop") { // both decks, nothing else; the timers run on
        QCOMPARE(rig.park.log, QStringList({QStringLiteral("%1 stop").arg(current->serial),
                                            QStringLiteral("%1 stop").arg(other->serial)}));
        QVERIFY(e.tmrTransition.isActive() && e.tmrPosition.isActive());
    }
    if (command == "Pause" && from == "Play") { // only the current deck pauses
        QVERIFY(!current->playing && other->playing);
        QVERIFY(e.tmrTransition.isActive());
    }
    if (command == "Next" || command == "Back" || (from == "Stop" && command == "Play"))
        QVERIFY(rig.incoming()->playing);
}

void TestTransport::doTransitionRangeRules() {
    {
        // Index below 1: DoTransition does nothing.
        Rig rig(threeSongs);
        rig.e().CurrentIndex = -1;
        const int calls = rig.park.log.size();
        rig.e().DoTransition();
        QCOMPARE(rig.park.log.size(), calls);
        QCOMPARE(rig.e().CurrentIndex, -1);
        QCOMPARE(rig.e().CurrentDeck, 0);
    }
    {
        // Next on the last entry: past the end, nothing starts, the running transition goes on.
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        e.btnPlay_Click();
        for (int s = 0; s < 10; ++s)
            e.tmrTransition_Timer();
        FakeDeck* current = rig.incoming();
        const int calls = rig.park.log.size();
        e.CurrentIndex = 3;
        e.btnNext_Click();
        QCOMPARE(e.CurrentIndex, 0);
        QCOMPARE(rig.park.log.size(), calls);
        QCOMPARE(e.TransitionStep, 10);
        QVERIFY(e.tmrTransition.isActive());
        QCOMPARE(rig.incoming(), current);
        QVERIFY(current->playing);
    }
    {
        // Back from entry 1 gives index 0, which the loader turns into 1.
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.playing().e();
        const int deckBefore = e.CurrentDeck;
        e.btnBack_Click();
        QCOMPARE(e.CurrentIndex, 1);
        QCOMPARE(e.CurrentDeck, 1 - deckBefore);
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
        QCOMPARE(rig.outgoing()->file, QStringLiteral("/m/1.mp3"));
        QVERIFY(e.tmrTransition.isActive());
    }
    // An emptied list stops everything.
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.list.locations.clear();
    e.btnNext_Click();
    QCOMPARE(e.CurrentIndex, -1);
    QCOMPARE(e.PlayState, 0);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Stop"));
    QVERIFY(!rig.deck(0)->playing && !rig.deck(1)->playing);
    QVERIFY(!e.tmrTransition.isActive());
    // Play with an empty list: decks stay stopped, the state still says Play.
    Rig empty;
    empty.e().btnPlay_Click();
    QCOMPARE(empty.e().CurrentIndex, -1);
    QCOMPARE(empty.e().PlayState, 1);
    QCOMPARE(empty.e().display().lblStatus, QStringLiteral("Play"));
    QCOMPARE(empty.park.callsOf(1).last(), QStringLiteral("stop"));
    QCOMPARE(empty.park.callsOf(2).last(), QStringLiteral("stop"));
}

void TestTransport::nextDuringTransitionRestartsOnOtherDeck() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.playing().e();
    e.btnNext_Click(); // song 2 fades in on deck 0, song 1 fades out on deck 1
    for (int s = 0; s < 30; ++s)
        e.tmrTransition_Timer();
    FakeDeck* fadingIn = rig.incoming();
    QCOMPARE(e.CurrentDeck, 0);
    QCOMPARE(rig.outgoing()->file, QStringLiteral("/m/1.mp3"));
    const int fadingOut = rig.outgoing()->serial;

    e.btnNext_Click();
    QCOMPARE(e.CurrentDeck, 1);
    QCOMPARE(e.CurrentIndex, 3);
    QCOMPARE(e.TransitionStep, 0);
    QVERIFY(rig.park.find(fadingOut) == nullptr); // stopped and released
    QVERIFY(rig.park.log.lastIndexOf(QStringLiteral("%1 stop").arg(fadingOut)) <
            rig.park.log.indexOf(QStringLiteral("%1 released").arg(fadingOut)));
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
    QCOMPARE(rig.outgoing(), fadingIn);
    QCOMPARE(e.vscVolume[0].value(), 85 - 30);
    // The song that was fading in now fades out from step 1.
    e.tmrTransition_Timer();
    QCOMPARE(e.vscVolume[0].value(), 1);
    QCOMPARE(e.vscVolume[1].value(), 84);
}

void TestTransport::playSelectedAndShowItem_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("valid");
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("3") << 3 << true;
    QTest::newRow("4 (stale)") << 4 << false;
}

void TestTransport::playSelectedAndShowItem() {
    QFETCH(int, index);
    QFETCH(bool, valid);
    Rig shown(threeSongs);
    shown.e().CurrentIndex = static_cast<int16_t>(index);
    shown.e().mnuShowItemInPlay_Click();
    QCOMPARE(shown.list.shown, valid ? QList<int>{index} : QList<int>{});

    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    rig.list.selected = index;
    const int calls = rig.park.log.size();
    e.mnuPlaySelectedItem_Click();
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    if (!valid) { // no selection: the state says Play, no deck moves
        QCOMPARE(rig.park.log.size(), calls);
        QCOMPARE(e.CurrentIndex, 0);
        QVERIFY(rig.list.cleared.isEmpty());
        return;
    }
    QCOMPARE(rig.list.cleared, QList<int>{index});
    QCOMPARE(e.CurrentIndex, index);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/%1.mp3").arg(index));
    QCOMPARE(rig.list.shown, QList<int>{index}); // shown again as the single selection
    QCOMPARE(rig.list.selected, index);
}

void TestTransport::loaderAppliesTrims_data() {
    QTest::addColumn<int>("length"); // -1: the file does not open
    QTest::addColumn<int>("cutFirst");
    QTest::addColumn<int>("cutLast");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("playable");
    QTest::newRow("trimmed") << 200 << 5 << 10 << 5 << 190 << "200"
                             << "03:05";
    QTest::newRow("too short for trims") << 10 << 5 << 10 << 0 << 10 << "10"
                                         << "00:10";
    QTest::newRow("missing file") << -1 << 3 << 0 << 0 << 0 << "0"
                                  << "00:00";
}

void TestTransport::loaderAppliesTrims() {
    QFETCH(int, length);
    QFETCH(int, cutFirst);
    QFETCH(int, cutLast);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, total);
    QFETCH(QString, playable);
    Rig rig({{"/m/song.mp3", length}});
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(cutFirst);
    e.spinCutLast.setValue(cutLast);
    QSignalSpy slider(&e, &PlaybackEngine::positionSliderChanged);
    e.btnPlay_Click();
    QCOMPARE(e.SongStart, start);
    QCOMPARE(e.SongEnd, end);
    QCOMPARE(rig.list.subItem(1, 9), total);
    QCOMPARE(rig.list.subItem(1, 1), playable);
    QCOMPARE(rig.incoming()->position, start);
    QCOMPARE(e.hscPosition.value(), 0);
    QCOMPARE(e.hscPosition.maximum(), end - start);
    QCOMPARE(slider.last().at(1).toInt(), end - start);
    QCOMPARE(e.PositionUpdating, 0);
    QVERIFY(e.tmrPosition.isActive());
}

void TestTransport::loaderStartsSilentAndSeeks() {
    Rig rig(threeSongs, 64);
    PlaybackEngine& e = rig.playing().e();
    QCOMPARE(e.vscVolume[1].value(), 21);
    // Deck 0 was left at silence, so the loader's explicit handler run is the only call.
    e.btnNext_Click();
    QCOMPARE(rig.park.callsOf(rig.incoming()->serial),
             QStringList({"device Test Output", "file /m/2.mp3", "open", "seek 0", "volume -7225",
                          "play"}));
    QCOMPARE(e.display().lblVolume[0], QStringLiteral("0"));
    // A Mix leaves deck 1's fader at the master level (21); reloading it moves the fader
    // to silence (one call) and the handler runs again explicitly.
    e.optTransition.setValue(3);
    rig.finishTransition();
    QCOMPARE(e.vscVolume[1].value(), 21);
    e.btnNext_Click();
    QCOMPARE(rig.park.callsOf(rig.incoming()->serial).filter("volume"),
             QStringList({"volume -7225", "volume -7225"}));
    QVERIFY(rig.park.log.contains(QStringLiteral("3 stop"))); // old deck 1 stopped
    QVERIFY(rig.park.find(3) == nullptr);                     // and released
}

void TestTransport::trimChangesWaitForNextLoad() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    QCOMPARE(e.SongEnd, 200);
    QSignalSpy label(&e, &PlaybackEngine::cutLastTextChanged);
    e.spinCutLast.setValue(20);
    QCOMPARE(label.last().at(0).toString(), QStringLiteral("20"));
    QCOMPARE(e.SongEnd, 200);
    e.btnNext_Click();
    QCOMPARE(e.SongEnd, 160);
    // Out of range: refused, nothing changes.
    QVERIFY(!e.spinCutLast.setValue(101));
    QCOMPARE(e.CutLast, 20);
    QVERIFY(!e.spinTransitionTime.setValue(0));
    QVERIFY(e.spinTransitionTime.setValue(100));
    QCOMPARE(e.TransitionTime, 100);
    QCOMPARE(e.display().lblTransitionTime, QStringLiteral("100"));
}

void TestTransport::outputChoiceRebuildsDecks() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    const int serial = rig.incoming()->serial;
    e.cmbOutputDevices_Click(QStringLiteral("Other Card"));
    QVERIFY(rig.park.find(serial) == nullptr); // released: silent at once
    QCOMPARE(rig.deck(0)->device, QStringLiteral("Other Card"));
    QCOMPARE(rig.deck(1)->device, QStringLiteral("Other Card"));
    QVERIFY(rig.deck(0)->file.isEmpty());
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(e.CurrentDeck, 1);
    QCOMPARE(e.outputDevice(), QStringLiteral("Other Card"));
    e.btnNext_Click();
    QCOMPARE(rig.incoming()->device, QStringLiteral("Other Card"));
}

void TestTransport::oddStatesSurvive() {
    // No output found at start-up: no decks until the loader makes one.
    DeckPark park;
    FakeList list({QStringLiteral("/m/1.mp3")});
    park.durations.insert(QStringLiteral("/m/1.mp3"), 30);
    PlaybackEngine e(park.factory(), &list);
    e.btnStop_Click();
    e.btnPause_Click();
    e.hscVolume.setValue(40);
    e.hscPosition.setValue(10);
    e.tmrTransition_Timer();
    QVERIFY(e.deck(0) == nullptr && e.deck(1) == nullptr);
    e.btnStop_Click();
    e.btnPlay_Click();
    QVERIFY(e.deck(1) != nullptr);
    QCOMPARE(static_cast<FakeDeck*>(e.deck(1))->file, QStringLiteral("/m/1.mp3"));
    QVERIFY(e.deck(0) == nullptr);
    e.TransitionTime = 1;
    while (e.tmrTransition.isActive())
        e.tmrTransition_Timer();

    // Without a list at all.
    PlaybackEngine bare(park.factory(), nullptr);
    bare.btnPlay_Click();
    QCOMPARE(bare.CurrentIndex, -1);
    bare.mnuPlaySelectedItem_Click();
    bare.mnuShowItemInPlay_Click();

    // A stray CurrentDeck (only a caller writing the public field wrongly can do this).
    Rig rig(threeSongs);
    rig.e().CurrentDeck = 7;
    rig.e().hscVolume.setValue(40);
    rig.e().tmrTransition_Timer();
    rig.e().btnPlay_Click();
    QCOMPARE(rig.e().CurrentDeck, 0);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    rig.finishTransition();
    QCOMPARE(rig.incoming()->volume, -(45 * 45));
}

void TestTransport::monitorWorkedExample() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.spinTransitionTime.setValue(8);
    rig.playing().tickAt(181);
    QCOMPARE(e.display().lblTotal, QStringLiteral("03:05"));
    QCOMPARE(e.display().lblPosition, QStringLiteral("02:56"));
    QCOMPARE(e.display().lblTimeLeft, QStringLiteral("00:09"));
    QCOMPARE(e.hscPosition.value(), 176);
    QCOMPARE(e.CurrentIndex, 1);

    QSignalSpy position(&e, &PlaybackEngine::positionTextChanged);
    QSignalSpy left(&e, &PlaybackEngine::timeLeftTextChanged);
    const int firstDeck = e.CurrentDeck;
    rig.tickAt(182);
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

void TestTransport::transitionPoint_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("transitionTime");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("advances");
    QTest::newRow("1 s, one before") << 200 << 1 << 198 << false;
    QTest::newRow("1 s, at the point") << 200 << 1 << 199 << true;
    QTest::newRow("20 s set late, one before") << 200 << 20 << 179 << false;
    QTest::newRow("20 s set late, at the point") << 200 << 20 << 180 << true;
    QTest::newRow("song shorter than the transition") << 3 << 5 << 0 << true;
}

void TestTransport::transitionPoint() {
    QFETCH(int, length);
    QFETCH(int, transitionTime);
    QFETCH(int, position);
    QFETCH(bool, advances);
    Rig rig({{"/m/1.mp3", length}, {"/m/2.mp3", 100}});
    rig.playing().e().spinTransitionTime.setValue(transitionTime); // takes effect at once
    rig.tickAt(position);
    QCOMPARE(rig.e().CurrentIndex, advances ? 2 : 1);
}

void TestTransport::orderPlayWrapsToTheTop() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    QStringList played{rig.incoming()->file};
    for (int song = 0; song < 3; ++song) {
        rig.finishTransition();
        rig.tickAt(e.SongEnd - 1); // exactly at the transition point (1 s)
        if (e.CurrentIndex == 0) {
            // Past the end: nothing started; the next tick starts entry 1.
            QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
            rig.tickAt(e.SongEnd - 1);
        }
        played << rig.incoming()->file;
    }
    QCOMPARE(played, QStringList({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/1.mp3"}));
    QCOMPARE(e.CurrentIndex, 1);
}

void TestTransport::shuffle() {
    {
        Rig rig({{"/m/only.mp3", 60}}); // one entry: it repeats
        PlaybackEngine& e = rig.e();
        e.chkRndPlay.setValue(1);
        e.btnPlay_Click();
        for (int round = 0; round < 4; ++round) {
            const int deckBefore = e.CurrentDeck;
            rig.finishTransition();
            rig.tickAt(59);
            QCOMPARE(e.CurrentIndex, 1);
            QCOMPARE(e.CurrentDeck, 1 - deckBefore);
            QCOMPARE(rig.incoming()->file, QStringLiteral("/m/only.mp3"));
            QCOMPARE(rig.incoming()->position, 0);
        }
    }
    {
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        QList<double> draws{0.70, 0.0, 0.999999, 0.34};
        e.setRandomSource([&draws] { return draws.takeFirst(); });
        QSignalSpy shuffle(&e, &PlaybackEngine::shuffleChanged);
        QVERIFY(e.chkRndPlay.setValue(1));
        QCOMPARE(shuffle.count(), 1);
        e.btnPlay_Click();
        QList<int> picked;
        for (int i = 0; i < 4; ++i) {
            rig.finishTransition();
            rig.tickAt(e.SongEnd - 1);
            picked << e.CurrentIndex;
        }
        QCOMPARE(picked, QList<int>({3, 1, 3, 2}));
        e.btnBack_Click(); // Next and Back keep list order in shuffle mode
        QCOMPARE(e.CurrentIndex, 1);
    }
    Rig rig(threeSongs); // the default draw stays in range
    rig.e().chkRndPlay.setValue(1);
    rig.e().btnPlay_Click();
    for (int i = 0; i < 20; ++i) {
        rig.finishTransition();
        rig.tickAt(rig.e().SongEnd);
        QVERIFY2(rig.e().CurrentIndex >= 1 && rig.e().CurrentIndex <= 3,
                 qPrintable(QString::number(rig.e().CurrentIndex)));
    }
}

void TestTransport::failedSongIsSkippedOnNextTick() {
    Rig rig({{"/m/1.mp3", 100}, {"/m/missing.mp3", -1}, {"/m/3.mp3", 100}});
    PlaybackEngine& e = rig.playing().e();
    rig.tickAt(99);
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

void TestTransport::emptyListAtTransitionPoint() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.playing().e();
    FakeDeck* current = rig.incoming();
    const QStringList saved = rig.list.locations;
    rig.list.locations.clear();
    rig.tickAt(199);
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

void TestTransport::positionBeforeTheStartPoint() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(10);
    e.btnPlay_Click();
    rig.tickAt(30);
    QCOMPARE(e.hscPosition.value(), 20);
    QSignalSpy slider(&e, &PlaybackEngine::positionSliderChanged);
    rig.tickAt(4); // before the cut-first point: the slider refuses -6
    QCOMPARE(slider.count(), 0);
    QCOMPARE(e.hscPosition.value(), 20);
    QCOMPARE(e.display().lblPosition, QStringLiteral("00:-06"));
    QCOMPARE(e.display().prgPosition, 11); // 20 of 190
}

void TestTransport::monitorRunsFromFirstLoad() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    QVERIFY(!e.tmrPosition.isActive());
    QCOMPARE(e.tmrPosition.interval(), 100);
    e.btnPlay_Click();
    e.btnStop_Click();
    QVERIFY(e.tmrPosition.isActive());
    rig.incoming()->position = 65; // the real timer drives the displays
    QTRY_COMPARE_WITH_TIMEOUT(e.display().lblPosition, QStringLiteral("01:05"), 5000);
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
