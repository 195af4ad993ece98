// Transport commands, the range rules of DoTransition, the song loader and the output
// choice, over recording decks and a recording list.

#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::playback::testing;

namespace {

const QList<QPair<QString, int>> threeSongs{{QStringLiteral("/m/1.mp3"), 200},
                                            {QStringLiteral("/m/2.mp3"), 180},
                                            {QStringLiteral("/m/3.mp3"), 240}};

} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void playFromStopStartsEntryOne();
    void playWhilePlayingCallsNoDeck();
    void pauseTogglesTheCurrentDeckOnly();
    void pauseWhileStoppedPausesCurrentDeck();
    void stopStopsBothAndKeepsIndexAndTimers();
    void nextWhilePausedResumesFirst();
    void nextAndBackWhileStoppedKeepState();
    void backFromFirstReplaysEntryOne();
    void nextOnLastStartsNothing();
    void playSelectedItem();
    void playSelectedItemWithoutSelection();
    void showItemInPlayRange_data();
    void showItemInPlayRange();
    void emptyListStopsEverything();
    void minusOneIndexDoesNothing();
    void beyondListLeavesRunningTransition();
    void nextDuringTransitionRestartsOnOtherDeck();
    void loaderAppliesTrims();
    void loaderIgnoresTrimsOnShortSong();
    void loaderOnMissingFile();
    void loaderStartsSilentAndSeeks();
    void trimChangesWaitForNextLoad();
    void outputChoiceRebuildsDecks();
    void engineWithoutDecksSurvives();
    void strayCurrentDeckIsSafe();
};

void TestTransport::playFromStopStartsEntryOne() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    QSignalSpy status(&e, &PlaybackEngine::statusTextChanged);
    e.CurrentIndex = 3;
    e.btnPlay_Click();
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.CurrentDeck, 1);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    QCOMPARE(rig.incoming()->device, QStringLiteral("Test Output"));
    QVERIFY(rig.incoming()->playing);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.last().at(0).toString(), QStringLiteral("Play"));
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    QCOMPARE(rig.list.shown, QList<int>{1});
}

void TestTransport::playWhilePlayingCallsNoDeck() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    const int calls = rig.park.log.size();
    QSignalSpy status(&e, &PlaybackEngine::statusTextChanged);
    e.btnPlay_Click();
    QCOMPARE(rig.park.log.size(), calls);
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.last().at(0).toString(), QStringLiteral("Play"));
}

void TestTransport::pauseTogglesTheCurrentDeckOnly() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.btnNext_Click(); // a transition runs: both decks sound
    FakeDeck* in = rig.incoming();
    FakeDeck* out = rig.outgoing();
    QVERIFY(out->playing);

    e.btnPause_Click();
    QCOMPARE(e.PlayState, 2);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Pause"));
    QVERIFY(!in->playing);
    QVERIFY(out->playing);
    QCOMPARE(rig.park.callsOf(in->serial).last(), QStringLiteral("pause"));
    QVERIFY(e.tmrTransition.isActive());

    e.btnPause_Click();
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    QVERIFY(in->playing);
    QCOMPARE(e.CurrentIndex, 2); // resuming starts no song
}

void TestTransport::pauseWhileStoppedPausesCurrentDeck() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    FakeDeck* current = rig.deck(e.CurrentDeck);
    e.btnPause_Click();
    QCOMPARE(e.PlayState, 2);
    QCOMPARE(rig.park.callsOf(current->serial).last(), QStringLiteral("pause"));
    // Play from pause resumes rather than starting entry 1.
    e.btnPlay_Click();
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.CurrentIndex, 0);
    QCOMPARE(rig.park.callsOf(current->serial).last(), QStringLiteral("play"));
}

void TestTransport::stopStopsBothAndKeepsIndexAndTimers() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.btnNext_Click();
    FakeDeck* in = rig.incoming();
    FakeDeck* out = rig.outgoing();
    rig.park.log.clear();
    e.btnStop_Click();
    QCOMPARE(rig.park.log, QStringList({QStringLiteral("%1 stop").arg(in->serial),
                                        QStringLiteral("%1 stop").arg(out->serial)}));
    QCOMPARE(e.PlayState, 0);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Stop"));
    QCOMPARE(e.CurrentIndex, 2);
    QCOMPARE(e.CurrentDeck, 0);
    QVERIFY(e.tmrTransition.isActive());
    QVERIFY(e.tmrPosition.isActive());
}

void TestTransport::nextWhilePausedResumesFirst() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    FakeDeck* first = rig.incoming();
    e.btnPause_Click();
    rig.park.log.clear();
    e.btnNext_Click();
    QCOMPARE(rig.park.log.first(), QStringLiteral("%1 play").arg(first->serial));
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.CurrentIndex, 2);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/2.mp3"));
    QVERIFY(first->playing); // it fades out now
}

void TestTransport::nextAndBackWhileStoppedKeepState() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    e.btnStop_Click();
    e.btnNext_Click();
    QCOMPARE(e.PlayState, 0);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Stop"));
    QCOMPARE(e.CurrentIndex, 2);
    QVERIFY(rig.incoming()->playing);
    e.btnBack_Click();
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    QCOMPARE(e.PlayState, 0);
    e.btnStop_Click();
    e.CurrentIndex = 3;
    e.btnPlay_Click();
    QCOMPARE(e.CurrentIndex, 1);
}

void TestTransport::backFromFirstReplaysEntryOne() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    const int deckBefore = e.CurrentDeck;
    e.btnBack_Click(); // index 0: the loader turns it into 1
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(e.CurrentDeck, 1 - deckBefore);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    QCOMPARE(rig.outgoing()->file, QStringLiteral("/m/1.mp3"));
    QVERIFY(e.tmrTransition.isActive());
}

void TestTransport::nextOnLastStartsNothing() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.CurrentIndex = 3;
    FakeDeck* current = rig.incoming();
    const int calls = rig.park.log.size();
    e.btnNext_Click();
    QCOMPARE(e.CurrentIndex, 0);
    QCOMPARE(rig.park.log.size(), calls);
    QCOMPARE(rig.incoming(), current);
    QVERIFY(current->playing);
}

void TestTransport::playSelectedItem() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    rig.list.selected = 3;
    e.mnuPlaySelectedItem_Click();
    QCOMPARE(rig.list.cleared, QList<int>{3});
    QCOMPARE(e.CurrentIndex, 3);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    QCOMPARE(rig.list.shown, QList<int>{3}); // shown again as the single selection
    QCOMPARE(rig.list.selected, 3);
}

void TestTransport::playSelectedItemWithoutSelection() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    const int calls = rig.park.log.size();
    e.mnuPlaySelectedItem_Click();
    QCOMPARE(rig.park.log.size(), calls);
    QCOMPARE(e.CurrentIndex, 0);
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    rig.list.selected = 4; // stale: beyond the list
    e.mnuPlaySelectedItem_Click();
    QCOMPARE(rig.park.log.size(), calls);
    QVERIFY(rig.list.cleared.isEmpty());
}

void TestTransport::showItemInPlayRange_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("shown");
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("3") << 3 << true;
    QTest::newRow("4") << 4 << false;
}

void TestTransport::showItemInPlayRange() {
    QFETCH(int, index);
    QFETCH(bool, shown);
    Rig rig(threeSongs);
    rig.e().CurrentIndex = static_cast<int16_t>(index);
    rig.e().mnuShowItemInPlay_Click();
    QCOMPARE(rig.list.shown, shown ? QList<int>{index} : QList<int>{});
}

void TestTransport::emptyListStopsEverything() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    FakeDeck* a = rig.deck(0);
    FakeDeck* b = rig.deck(1);
    rig.list.locations.clear();
    e.btnNext_Click();
    QCOMPARE(e.CurrentIndex, -1);
    QCOMPARE(e.PlayState, 0);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Stop"));
    QVERIFY(!a->playing && !b->playing);
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

void TestTransport::minusOneIndexDoesNothing() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.CurrentIndex = -1;
    const int calls = rig.park.log.size();
    e.DoTransition();
    QCOMPARE(rig.park.log.size(), calls);
    QCOMPARE(e.CurrentIndex, -1);
    QCOMPARE(e.CurrentDeck, 0);
}

void TestTransport::beyondListLeavesRunningTransition() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    for (int s = 0; s < 10; ++s)
        e.tmrTransition_Timer();
    const int calls = rig.park.log.size();
    e.CurrentIndex = 9;
    e.DoTransition();
    QCOMPARE(e.CurrentIndex, 0);
    QCOMPARE(rig.park.log.size(), calls);
    QCOMPARE(e.TransitionStep, 10);
    QVERIFY(e.tmrTransition.isActive());
    QCOMPARE(e.CurrentDeck, 1);
}

void TestTransport::nextDuringTransitionRestartsOnOtherDeck() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
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

void TestTransport::loaderAppliesTrims() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    QCOMPARE(e.CutFirst, 5);
    QCOMPARE(e.CutLast, 10);
    QSignalSpy slider(&e, &PlaybackEngine::positionSliderChanged);
    e.btnPlay_Click();
    QCOMPARE(e.SongStart, 5);
    QCOMPARE(e.SongEnd, 190);
    QCOMPARE(rig.list.subItem(1, 9), QStringLiteral("200"));
    QCOMPARE(rig.list.subItem(1, 1), QStringLiteral("03:05"));
    QCOMPARE(rig.incoming()->position, 5);
    QCOMPARE(e.hscPosition.value(), 0);
    QCOMPARE(e.hscPosition.maximum(), 185);
    QCOMPARE(slider.last().at(1).toInt(), 185);
    QCOMPARE(e.PositionUpdating, 0);
}

void TestTransport::loaderIgnoresTrimsOnShortSong() {
    Rig rig({{QStringLiteral("/m/short.wav"), 10}});
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.btnPlay_Click();
    QCOMPARE(e.SongStart, 0);
    QCOMPARE(e.SongEnd, 10);
    QCOMPARE(rig.list.subItem(1, 1), QStringLiteral("00:10"));
    QCOMPARE(rig.incoming()->position, 0);
}

void TestTransport::loaderOnMissingFile() {
    Rig rig({{QStringLiteral("/m/gone.mp3"), -1}});
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(3);
    e.btnPlay_Click();
    QCOMPARE(e.SongStart, 0);
    QCOMPARE(e.SongEnd, 0);
    QCOMPARE(rig.list.subItem(1, 9), QStringLiteral("0"));
    QCOMPARE(rig.list.subItem(1, 1), QStringLiteral("00:00"));
    QCOMPARE(e.hscPosition.maximum(), 0);
    QVERIFY(e.tmrPosition.isActive());
}

void TestTransport::loaderStartsSilentAndSeeks() {
    Rig rig(threeSongs, 64);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    QCOMPARE(e.vscVolume[1].value(), 21);
    // Deck 0 was left at silence, so the loader's explicit handler run is the only call.
    e.btnNext_Click();
    const QStringList fresh = rig.park.callsOf(rig.incoming()->serial);
    QCOMPARE(fresh, QStringList({"device Test Output", "file /m/2.mp3", "open", "seek 0",
                                 "volume -7225", "play"}));
    QCOMPARE(e.display().lblVolume[0], QStringLiteral("0"));
    // A Mix leaves deck 1's fader at the master level (21); reloading it moves the fader
    // to silence (one call) and the handler runs again explicitly.
    e.optTransition.setValue(3);
    rig.finishTransition();
    QCOMPARE(e.vscVolume[1].value(), 21);
    e.btnNext_Click();
    QCOMPARE(rig.park.callsOf(rig.incoming()->serial).filter("volume"),
             QStringList({"volume -7225", "volume -7225"}));
    QVERIFY(rig.park.log.contains(QStringLiteral("%1 stop").arg(3))); // old deck 1 stopped
    QVERIFY(rig.park.find(3) == nullptr);                             // and released
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
    FakeDeck* playing = rig.incoming();
    QVERIFY(playing->playing);
    const int serial = playing->serial;
    e.cmbOutputDevices_Click(QStringLiteral("Other Card"));
    QVERIFY(rig.park.find(serial) == nullptr); // released: silent at once
    QCOMPARE(rig.deck(0)->device, QStringLiteral("Other Card"));
    QCOMPARE(rig.deck(1)->device, QStringLiteral("Other Card"));
    QVERIFY(rig.deck(0)->file.isEmpty());
    QCOMPARE(e.PlayState, 1);
    QCOMPARE(e.display().lblStatus, QStringLiteral("Play"));
    QCOMPARE(e.CurrentIndex, 1);
    QCOMPARE(e.CurrentDeck, 1);
    QCOMPARE(e.outputDevice(), QStringLiteral("Other Card"));
    e.btnNext_Click();
    QCOMPARE(rig.incoming()->device, QStringLiteral("Other Card"));
}

void TestTransport::engineWithoutDecksSurvives() {
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

    // And without a list at all.
    PlaybackEngine bare(park.factory(), nullptr);
    bare.btnPlay_Click();
    QCOMPARE(bare.CurrentIndex, -1);
    bare.mnuPlaySelectedItem_Click();
    bare.mnuShowItemInPlay_Click();
}

void TestTransport::strayCurrentDeckIsSafe() {
    Rig rig(threeSongs);
    PlaybackEngine& e = rig.e();
    e.CurrentDeck = 7; // only a caller writing the public field wrongly can do this
    e.hscVolume.setValue(40);
    e.tmrTransition_Timer();
    e.btnPlay_Click();
    QCOMPARE(e.CurrentDeck, 0);
    QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    rig.finishTransition();
    QCOMPARE(rig.incoming()->volume, -(45 * 45));
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
