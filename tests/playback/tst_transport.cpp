// Transport commands, DoTransition's ranges, the loader and the position monitor.

#include "playback/albumjoin.h"
#include "support/fakedeck.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::testing;
using volaro::deck::SongAnalysis;

namespace {

// PlayState, CurrentIndex and CurrentDeck in one.
QList<int> where(const PlaybackEngine& e) {
    return {static_cast<int>(e.playState()), e.currentIndex(), e.currentDeck()};
}

} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void stateTable_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("firstCall"); // on the deck current before: "" none, "-" any
        // Play from Stop starts entry 1; Next and Back change the song, not the state; from
        // Pause, Play and Pause resume (no song starts), Next and Back resume first.
        const std::tuple<const char*, const char*, int, int, const char*> rows[] = {
            {"Stop", "Play", 1, 1, "-"},      {"Stop", "Pause", 2, 2, "pause"},
            {"Stop", "Stop", 0, 2, "stop"},   {"Stop", "Next", 0, 3, "-"},
            {"Stop", "Back", 0, 1, "-"},      {"Play", "Play", 1, 2, ""},
            {"Play", "Pause", 2, 2, "pause"}, {"Play", "Stop", 0, 2, "stop"},
            {"Play", "Next", 1, 3, "-"},      {"Play", "Back", 1, 1, "-"},
            {"Pause", "Play", 1, 2, "play"},  {"Pause", "Pause", 1, 2, "play"},
            {"Pause", "Stop", 0, 2, "stop"},  {"Pause", "Next", 1, 3, "play"},
            {"Pause", "Back", 1, 1, "play"}};
        for (const auto& [from, command, state, index, call] : rows)
            QTest::addRow("%s + %s", from, command) << from << command << state << index << call;
    }

    void stateTable() {
        QFETCH(QString, from);
        QFETCH(QString, command);
        QFETCH(int, state);
        QFETCH(int, index);
        QFETCH(QString, firstCall);
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.playing().e();
        e.next(); // a transition runs: both decks sound
        if (from != "Play")
            from == "Pause" ? e.pause() : e.stop();
        FakeDeck* current = rig.incoming();
        FakeDeck* other = rig.outgoing();
        rig.park.log.clear();
        const QStringList states{"Stop", "Play", "Pause"};
        QSignalSpy status(&e, &PlaybackEngine::statusTextChanged);
        QSignalSpy changes(&e, &PlaybackEngine::playStateChanged);
        QSignalSpy started(&e, &PlaybackEngine::songStarted);
        void (PlaybackEngine::*const commands[])() = {&PlaybackEngine::play, &PlaybackEngine::pause,
                                                      &PlaybackEngine::stop, &PlaybackEngine::next,
                                                      &PlaybackEngine::back};
        (e.*commands[QStringList{"Play", "Pause", "Stop", "Next", "Back"}.indexOf(command)])();

        QCOMPARE(where(e).mid(0, 2), QList<int>({state, index}));
        QCOMPARE(e.display().lblStatus, states.at(state));
        if (command != "Next" && command != "Back") // these rewrite the label only when resuming
            QCOMPARE(status.count(), 1);
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/%1.mp3").arg(index));
        if (firstCall != "-")
            QCOMPARE(rig.park.callsOf(current->serial).value(0), firstCall);
        if (command == "Stop") { // both decks, nothing else; the timers run on
            QCOMPARE(rig.park.log, QStringList({QStringLiteral("%1 stop").arg(current->serial),
                                                QStringLiteral("%1 stop").arg(other->serial)}));
            QVERIFY(e.tmrTransition.isActive() && e.tmrPosition.isActive());
        }
        if (command == "Pause" && from == "Play") // only the current deck pauses
            QVERIFY(!current->playing && other->playing && e.tmrTransition.isActive());
        QCOMPARE(changes.size(), states.indexOf(from) == state ? 0 : 1);
        const bool starts =
            command == "Next" || command == "Back" || (from == "Stop" && command == "Play");
        QCOMPARE(started.size(), starts ? 1 : 0); // once per song, with its row
        if (starts)
            QVERIFY(rig.incoming()->playing && started.at(0).at(0).toInt() == index);
    }

    void doTransitionRangeRules() {
        Rig below(threeSongs); // index below 1: DoTransition does nothing
        below.list.current = -1;
        below.park.log.clear();
        below.e().DoTransition();
        QVERIFY(below.park.log.isEmpty());
        QCOMPARE(where(below.e()), QList<int>({0, -1, 0}));

        // Next on the last entry: past the end, nothing starts, a running transition goes on.
        Rig last(threeSongs);
        last.e().play();
        for (int s = 0; s < 10; ++s)
            last.e().tmrTransition_Timer();
        FakeDeck* current = last.incoming();
        last.park.log.clear();
        last.list.current = 3;
        last.e().next();
        QVERIFY(last.park.log.isEmpty());
        QCOMPARE(where(last.e()), QList<int>({1, 0, 1}));
        QCOMPARE(last.e().transitionStep(), 10);
        QVERIFY(last.e().tmrTransition.isActive() && current->playing);

        Rig first(threeSongs); // Back from entry 1 gives 0, which the loader turns into 1
        first.playing().e().back();
        QCOMPARE(where(first.e()), QList<int>({1, 1, 0}));
        QCOMPARE(first.incoming()->file, QStringLiteral("/m/1.mp3"));
        QCOMPARE(first.outgoing()->file, QStringLiteral("/m/1.mp3"));
        QVERIFY(first.e().tmrTransition.isActive());
    }

    void deadEndsStopAndSayWhy() {
        const QString noOutput = PlaybackEngine::NoOutputNotice;
        // The fault, the songs tried before the engine gives up, the notice. Lost while
        // playing: the song and the next opened ahead. No playable song: every row tried at
        // once, however long the list (no tick per row).
        const std::tuple<QString, int, QString> rows[] = {
            {"no output", 1, noOutput},
            {"output failed", 1, noOutput},
            {"lost", 2, noOutput},
            {"broken", 2000, PlaybackEngine::NothingPlayableNotice}};
        for (const auto& [fault, opens, notice] : rows) {
            Songs broken;
            for (int i = 1; i <= opens && fault == "broken"; ++i)
                broken.append({QString("/m/%1.mp3").arg(i), -1});
            Rig rig(fault == "broken" ? broken : threeSongs);
            PlaybackEngine& e = rig.e();
            QSignalSpy notices(&e, &PlaybackEngine::noticeChanged);
            rig.park.outputStatus = fault == "no output"       ? Deck::OpenNoOutput
                                    : fault == "output failed" ? Deck::OpenOutputFailed
                                                               : 0;
            e.play();
            if (fault == "lost") {
                rig.incoming()->lost = true;
                rig.tickAt(50);
            }
            for (int tick = 0; tick < 10 && fault != "broken"; ++tick) // at the transition point
                rig.tickAt(e.songEnd());
            QVERIFY2(rig.park.log.filter(QRegularExpression(" open$")).size() == opens,
                     qPrintable(fault));
            QCOMPARE(e.playState(), PlayState::Stopped);
            QVERIFY(!rig.incoming()->playing && !rig.outgoing()->playing);
            QVERIFY(!e.tmrTransition.isActive());
            QCOMPARE(notices.value(0).value(0).toString(), notice); // once: see the count below
            if (fault == "broken") // nothing loaded: no deck moved, no length
                QVERIFY(rig.park.log.filter("seek").isEmpty() && rig.list.lengths[1] == "0 00:00");

            // The notice stays until a song opens again; then panel 2 shows the address again.
            rig.park.outputStatus = 0;
            rig.park.durations.insert("/m/1.mp3", 100);
            e.play();
            QCOMPARE(e.playState(), PlayState::Playing);
            QCOMPARE(notices.size(), 2);
            QCOMPARE(notices.at(1).at(0).toString(), QString());
        }
    }

    void slowStorageNeverHoldsTheListUp() {
        // Files answer late: the song in play goes on. The next one, opened as a song starts,
        // is passed over OpenTimeoutMs after its transition point; its late answer finds no one.
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        rig.park.holdOpens = true;
        e.play();
        QVERIFY(e.opening() && !rig.incoming()->playing);
        rig.park.answer(); // song 1
        QVERIFY(!e.opening());
        QCOMPARE(rig.incoming()->file, QString("/m/1.mp3"));
        QCOMPARE(rig.park.held.value(0).first, QString("/m/2.mp3")); // opened ahead
        rig.finishTransition();
        rig.tickAt(199);
        rig.tickAt(199); // the monitor waits for it
        QVERIFY(e.opening());
        QCOMPARE(e.currentIndex(), 2);
        QVERIFY(rig.incoming()->playing); // song 1, still in play
        QCOMPARE(e.tmrOpening.interval(), PlaybackEngine::OpenTimeoutMs);
        e.tmrOpening_Timer();
        QCOMPARE(e.currentIndex(), 3);
        QCOMPARE(rig.park.held.value(1).first, QString("/m/3.mp3"));
        rig.park.answer(1);
        QCOMPARE(rig.incoming()->file, QString("/m/3.mp3"));
        QCOMPARE(rig.outgoing()->file, QString("/m/1.mp3"));
        rig.park.answer(0); // song 2, at last
        QCOMPARE(rig.incoming()->file, QString("/m/3.mp3"));
        QCOMPARE(e.currentIndex(), 3);
    }

    void nextDuringTransitionRestartsOnOtherDeck() {
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.playing().e();
        e.next(); // song 2 fades in on deck 0, song 1 fades out on deck 1
        for (int s = 0; s < 30; ++s)
            e.tmrTransition_Timer();
        FakeDeck* fadingIn = rig.incoming();
        const int fadingOut = rig.outgoing()->serial;

        e.next();
        QCOMPARE(where(e), QList<int>({1, 3, 1}));
        QCOMPARE(e.transitionStep(), 0);
        QVERIFY(rig.park.log.lastIndexOf(QStringLiteral("%1 stop").arg(fadingOut)) <
                rig.park.log.indexOf(QStringLiteral("%1 released").arg(fadingOut)));
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
        QCOMPARE(rig.outgoing(), fadingIn);
        QCOMPARE(rig.levels(), QList<int>({85, 85 - 30}));
        e.tmrTransition_Timer(); // the song that was fading in now fades out from step 1
        QCOMPARE(rig.levels(), QList<int>({84, 1}));
    }

    void playSelectedAndShowItem() {
        for (const int index : {0, 3, 4}) { // none, a row, a stale index
            const bool valid = index == 3;
            Rig shown(threeSongs);
            shown.list.current = index;
            shown.e().showPlaying();
            QCOMPARE(shown.list.shown, valid ? QList<int>{index} : QList<int>{});

            Rig rig(threeSongs);
            rig.list.selected = index;
            rig.park.log.clear();
            rig.e().playSelected();
            QCOMPARE(where(rig.e()).mid(0, 2), QList<int>({1, valid ? index : 0}));
            QCOMPARE(rig.park.log.isEmpty(), !valid); // no selection: no deck moves
            QCOMPARE(rig.list.cleared, valid ? QList<int>{index} : QList<int>{});
            if (valid) {
                QCOMPARE(rig.incoming()->file, QStringLiteral("/m/%1.mp3").arg(index));
                QCOMPARE(rig.list.shown, QList<int>{index}); // shown again as the single selection
                QCOMPARE(rig.list.selected, index);
            }
        }
    }

    void loaderTrimsAndTheSlider() {
        // (A song the trims leave nothing of is songSpan's rule.)
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        e.setCutFirst(5);
        e.setCutLast(10);
        QSignalSpy percent(&e, &PlaybackEngine::positionPercentChanged);
        QSignalSpy slider(&e, &PlaybackEngine::positionChanged);
        e.play();
        FakeDeck* d = rig.incoming();
        QCOMPARE(QList<int>({e.songStart(), e.songEnd(), d->position}), QList<int>({5, 190, 5}));
        QCOMPARE(rig.list.lengths.value(1), QString("200 03:05"));
        QCOMPARE(QList<int>({e.position(), e.positionMaximum(), slider.last().at(1).toInt()}),
                 QList<int>({0, 185, 185}));
        slider.clear();
        rig.tickAt(55);
        QCOMPARE(e.display().lblTotal, QStringLiteral("03:05"));
        percent.clear();
        rig.tickAt(55); // the same position again moves nothing
        QCOMPARE(percent.count(), 0);
        rig.tickAt(2); // before the cut-first point: the slider refuses -3, the label shows it
        QCOMPARE(slider.count(), 1);
        QCOMPARE(e.position(), 50);
        QCOMPARE(e.display().lblPosition, QStringLiteral("00:-03"));
        QCOMPARE(e.display().prgPosition, 27); // 50 of 185
        QVERIFY(e.seek(100));
        QCOMPARE(percent.last().at(0).toInt(), 54); // 100 of 185
        QVERIFY(!e.seek(186));                      // beyond the playable length: no seek
        QCOMPARE(d->position, 105);
        // A seek to the very end reaches the transition point at the next tick.
        rig.finishTransition();
        e.seek(e.positionMaximum());
        QCOMPARE(d->position, 190);
        e.tmrPosition_Timer();
        QCOMPARE(e.currentIndex(), 2);

        Rig before({{"/m/1.mp3", 60}});
        before.e().seek(500); // 1000 before the first load
        QCOMPARE(before.e().display().prgPosition, 50);
    }

    void analysesLearntDuringASong() {
        // A song loads before its analysis is known: once it lands, its level glides (the
        // deck takes the gain while it plays) and its end point moves; its start stays.
        Rig rig({{"/m/1.mp3", 200}, {"/m/2.mp3", 180}, {"/m/3.mp3", 100}});
        PlaybackEngine& e = rig.e();
        e.setCutFirst(2);
        e.setLevelLoudness(true);
        e.setSkipSilence(true);
        rig.sounds.insert("/m/2.mp3", {SongAnalysis::Status::Ok, -8, -0.5, 7.0, 170.5, 180, {}});
        rig.playing();
        const int serial = rig.incoming()->serial;
        const auto gains = [&] { return rig.park.callsOf(serial).filter("gain"); };
        QCOMPARE(gains().last(), QString("gain 0"));
        const qsizetype before = gains().size();
        QCOMPARE(QList<int>({e.songStart(), e.songEnd()}), QList<int>({2, 200}));

        rig.sounds.insert("/m/1.mp3", {SongAnalysis::Status::Ok, -8, -0.5, 5.0, 150.5, 200, {}});
        e.soundLearnt("/m/3.mp3"); // on no deck: nothing moves
        QCOMPARE(gains().size(), before);
        e.soundLearnt("/m/1.mp3");
        QCOMPARE(gains().mid(before), QStringList{"gain -1000"});
        QCOMPARE(QList<int>({e.songStart(), e.songEnd()}), QList<int>({2, 150}));
        QCOMPARE(e.positionMaximum(), 148);
        QCOMPARE(rig.list.lengths.value(1), QString("200 02:28"));

        // Switching the levelling glides the songs that play, both ways.
        e.setLevelLoudness(false);
        e.setLevelLoudness(true);
        QCOMPARE(gains().mid(before), QStringList({"gain -1000", "gain 0", "gain -1000"}));

        // A song known before it loads starts levelled, at its sound, and ends with it.
        e.next();
        QCOMPARE(rig.incoming()->file, QString("/m/2.mp3"));
        QCOMPARE(rig.park.callsOf(rig.incoming()->serial).filter("gain").last(), "gain -1000");
        QCOMPARE(QList<int>({e.songStart(), e.songEnd(), rig.incoming()->position}),
                 QList<int>({7, 170, 7}));
    }

    void albumJoinRule() {
        using P = volaro::base::AlbumPlace;
        // Disc, track, tracks on the disc, album, album artist, artist.
        const auto at = [](int disc, int track, int tracks = 0, const char* album = "Live",
                           const char* albumArtist = "", const char* artist = "Band") {
            return P{album, albumArtist, artist, disc, track, tracks};
        };
        const std::tuple<const char*, P, P, bool> rows[] = {
            {"next track", at(0, 3), at(0, 4), true},
            {"a track left out", at(0, 3), at(0, 5), false},
            {"backwards", at(0, 3), at(0, 2), false},
            {"no album", at(0, 3, 0, ""), at(0, 4, 0, ""), false},
            {"another album", at(0, 3), at(0, 4, 0, "Studio"), false},
            {"another artist", at(0, 3), at(0, 4, 0, "Live", "", "Other"), false},
            {"no track numbers", at(0, 0), at(0, 0), false},
            {"compilation: album artist", at(0, 7, 0, "Mix", "VA", "A"),
             at(0, 8, 0, "Mix", "VA", "B"), true},
            {"album artist on one only", at(0, 7, 0, "Mix", "VA", "A"), at(0, 8, 0, "Mix", "", "A"),
             false},
            {"same disc", at(1, 4), at(1, 5), true},
            {"one disc number only", at(1, 4), at(0, 5), true},
            {"next disc after the last track", at(1, 12, 12), at(2, 1), true},
            {"next disc, count unknown", at(1, 9), at(2, 1), true},
            {"next disc before the last track", at(1, 11, 12), at(2, 1), false},
            {"next disc, not its first track", at(1, 12, 12), at(2, 2), false},
            {"a disc left out", at(1, 12, 12), at(3, 1), false}};
        for (const auto& [name, first, second, joins] : rows)
            QVERIFY2(joinsWhole(first, second) == joins, name);
    }

    void albumsJoinWithoutATransition() {
        // Songs 1 and 2 follow on one album; 3 is another's. Song 1 plays to its end with 2
        // queued behind it; 2 is the song in play once it is heard; 2 to 3 is a transition.
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        rig.list.places = {{1, {"Live", "", "Band", 0, 1, 0}}, {2, {"Live", "", "Band", 0, 2, 0}}};
        e.setCutLast(10);
        e.setKeepAlbumsWhole(true);
        QSignalSpy started(&e, &PlaybackEngine::songStarted);
        rig.playing();
        FakeDeck* one = rig.incoming();
        rig.tickAt(189); // the transition point of song 1 alone
        QCOMPARE(e.currentIndex(), 1);
        QVERIFY(!one->queued);
        rig.tickAt(200 - PlaybackEngine::JoinLeadSeconds);
        QCOMPARE(rig.park.callsOf(one->serial).filter("queue"), QStringList{"queue /m/2.mp3"});
        QCOMPARE(e.songEnd(), 200); // to its last frame, no end trim
        rig.tickAt(199);
        QCOMPARE(e.currentIndex(), 1);
        one->joined = 1; // heard
        rig.tickAt(0);
        QCOMPARE(e.currentIndex(), 2);
        QCOMPARE(rig.incoming(), one);
        QCOMPARE(QList<int>({e.songStart(), e.songEnd()}), QList<int>({0, 170}));
        QCOMPARE(rig.list.lengths.value(2), QString("180 02:50"));
        QCOMPARE(started.size(), 2);
        rig.tickAt(169);
        QCOMPARE(e.currentIndex(), 3); // song 3 is not on the album: a transition
        QVERIFY(rig.incoming() != one);

        // Commands of the user's take a queued song back: shuffle, the option, another song.
        for (const QString command : {"shuffle", "option off", "next"}) {
            Rig again(threeSongs);
            again.list.places = rig.list.places;
            again.e().setKeepAlbumsWhole(true);
            again.playing().tickAt(198);
            FakeDeck* first = again.incoming(); // released by the transition below
            const int firstSerial = first->serial;
            QVERIFY(first->queued);
            if (command == "shuffle")
                again.e().setShuffle(true);
            else if (command == "option off")
                again.e().setKeepAlbumsWhole(false);
            else
                again.e().next();
            again.tickAt(199);
            QVERIFY2(again.park.callsOf(firstSerial).contains("cancel"), qPrintable(command));
            QVERIFY2(again.incoming() != first, qPrintable(command)); // the usual transition
        }
    }

    void beatsMatchedOnTheDownbeat() {
        // 120 BPM (bars of 2 s, first downbeat at 0.5 s) into 124 BPM (first at 1.25 s): the
        // 5 s transition becomes 3 bars, starts on the downbeat at 192.5 s (the latest that
        // leaves 6 s before the end), brings song 2 in on its downbeat at that very frame,
        // 120/124 as fast, back to its own tempo over 8 bars after. Song 3 has no beat.
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        const auto withBeat = [](double bpm, double downbeat) {
            return SongAnalysis{.status = SongAnalysis::Status::Ok,
                                .seconds = 200,
                                .beats = {bpm, downbeat, 4, 0.9}};
        };
        rig.sounds = {{"/m/1.mp3", withBeat(120, 0.5)},
                      {"/m/2.mp3", withBeat(124, 1.25)},
                      {"/m/3.mp3", withBeat(0, 0)}};
        e.setTransitionSeconds(5);
        e.setMatchBeats(true);
        rig.playing();
        FakeDeck* one = rig.incoming();
        rig.tickAt(190); // a second and a half before the downbeat the plan is made
        QCOMPARE(rig.incoming(), one);
        rig.tickAt(191);
        QCOMPARE(e.currentIndex(), 2);
        FakeDeck* two = rig.incoming();
        QVERIFY(two != one);
        const QStringList calls = rig.park.callsOf(two->serial);
        QVERIFY2(calls.contains("seek exact 1.25") && calls.contains("start at 192500") &&
                     calls.contains("tempo 0.9677 over 0.00"),
                 qPrintable(calls.join(", ")));
        QVERIFY(e.tmrBeat.isActive() && !e.tmrTransition.isActive());
        QCOMPARE(e.tmrBeat.interval(), 1500);
        e.tmrBeat_Timer(); // the downbeat
        QCOMPARE(e.tmrTransition.interval(), 6000 / 85);
        rig.finishTransition();
        QCOMPARE(rig.park.callsOf(two->serial).last(), QString("tempo 1.0000 over 15.48"));

        // Song 3 has no beat: the usual transition, at the usual point.
        rig.tickAt(174); // song 2 lasts 180 s
        QCOMPARE(e.currentIndex(), 2);
        rig.tickAt(175);
        QCOMPARE(e.currentIndex(), 3);
        QVERIFY(rig.park.callsOf(rig.incoming()->serial).filter("start at").isEmpty());

        // 20 % apart: the usual transition too.
        Rig far(threeSongs);
        far.sounds = rig.sounds;
        far.sounds["/m/1.mp3"] = withBeat(100, 0.5);
        far.e().setTransitionSeconds(5);
        far.e().setMatchBeats(true);
        far.playing().tickAt(195);
        QCOMPARE(far.e().currentIndex(), 2);
        QVERIFY(far.park.callsOf(far.incoming()->serial).filter("tempo").isEmpty());
    }

    void noDecksUntilTheFirstSong() {
        // No output found at start-up: no decks until the loader makes one.
        Rig rig({{"/m/1.mp3", 30}});
        rig.engine = std::make_unique<PlaybackEngine>(rig.park.factory(), rig.list); // no output
        PlaybackEngine& e = rig.e();
        e.stop();
        e.pause();
        e.setMasterLevel(40);
        e.seek(10);
        e.tmrTransition_Timer();
        QVERIFY(e.deck(0) == nullptr && e.deck(1) == nullptr);
        e.stop();
        e.play();
        QCOMPARE(static_cast<FakeDeck*>(e.deck(1))->file, QStringLiteral("/m/1.mp3"));
        QVERIFY(e.deck(0) == nullptr);
        e.setTransitionSeconds(1);
        rig.finishTransition();
    }

    void transitionPoint() {
        // length, transition time (set late: it takes effect at once), position, advances
        for (const auto& [length, seconds, position, advances] :
             {std::tuple{200, 1, 198, false},
              {200, 1, 199, true},
              {200, 20, 179, false},
              {200, 20, 180, true},
              {3, 5, 0, true}}) { // shorter than the transition
            Rig rig({{"/m/1.mp3", length}, {"/m/2.mp3", 100}});
            rig.playing().e().setTransitionSeconds(seconds);
            rig.tickAt(position);
            QCOMPARE(rig.e().currentIndex(), advances ? 2 : 1);
        }
    }

    void orderPlayWrapsToTheTop() {
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        e.play();
        QStringList played{rig.incoming()->file};
        for (int song = 0; song < 3; ++song) {
            rig.finishTransition();
            rig.tickAt(e.songEnd() - 1); // exactly at the transition point (1 s)
            if (e.currentIndex() == 0) {
                // Past the end: nothing started; the next tick starts entry 1.
                QCOMPARE(rig.incoming()->file, QStringLiteral("/m/3.mp3"));
                rig.tickAt(e.songEnd() - 1);
            }
            played << rig.incoming()->file;
        }
        QCOMPARE(played, QStringList({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/1.mp3"}));
        QCOMPARE(e.currentIndex(), 1);
    }

    void shuffle() {
        Rig one({{"/m/only.mp3", 60}}); // one entry: it repeats
        one.e().setShuffle(true);
        one.e().play();
        for (int round = 0; round < 4; ++round) {
            const int deckBefore = one.e().currentDeck();
            one.finishTransition();
            one.tickAt(59);
            QCOMPARE(where(one.e()), QList<int>({1, 1, 1 - deckBefore}));
            QCOMPARE(one.incoming()->file, QStringLiteral("/m/only.mp3"));
        }

        Rig drawn(threeSongs);
        QList<double> draws{0.70, 0.0, 0.999999, 0.34};
        drawn.e().setRandomSource([&draws] { return draws.takeFirst(); });
        QSignalSpy shuffle(&drawn.e(), &PlaybackEngine::shuffleChanged);
        drawn.e().setShuffle(true);
        drawn.e().setShuffle(true);
        QCOMPARE(shuffle.count(), 1);
        drawn.e().play();
        QList<int> picked;
        for (int i = 0; i < 4; ++i) {
            drawn.finishTransition();
            drawn.tickAt(drawn.e().songEnd() - 1);
            picked << drawn.e().currentIndex();
        }
        QCOMPARE(picked, QList<int>({3, 1, 3, 2}));
        drawn.e().back(); // Next and Back keep list order in shuffle mode
        QCOMPARE(drawn.e().currentIndex(), 1);

        // Shuffle drawing only broken rows never gives up while one row plays.
        Rig rig({{"/m/bad1.mp3", -1}, {"/m/good.mp3", 100}, {"/m/bad2.mp3", -1}});
        QList<double> overBroken{0.0, 0.9, 0.0, 0.9, 0.0, 0.5};
        rig.e().setRandomSource([&overBroken] { return overBroken.takeFirst(); });
        rig.e().setShuffle(true);
        rig.e().play(); // row 1: broken
        while (!overBroken.isEmpty())
            rig.tickAt(rig.e().songEnd());
        QCOMPARE(rig.e().playState(), PlayState::Playing);
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/good.mp3"));
        QCOMPARE(rig.e().notice(), QString());
    }

    void emptyListAtTransitionPoint() {
        Rig rig(threeSongs);
        PlaybackEngine& e = rig.e();
        e.play(); // its fade-in still running
        FakeDeck* current = rig.incoming();
        const QStringList saved = rig.list.locations;
        rig.list.locations.clear();
        rig.tickAt(199);
        QCOMPARE(where(e).mid(0, 2), QList<int>({0, -1}));
        QVERIFY(!current->playing && !rig.outgoing()->playing && !e.tmrTransition.isActive());
        e.tmrPosition_Timer(); // every later tick at the point stops again while it is empty...
        QCOMPARE(e.currentIndex(), -1);
        rig.list.locations = saved; // ...and starts entry 1 as soon as the list has rows
        e.tmrPosition_Timer();
        QCOMPARE(e.currentIndex(), 1);
        QCOMPARE(rig.incoming()->file, QStringLiteral("/m/1.mp3"));
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
