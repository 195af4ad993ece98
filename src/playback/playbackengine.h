#pragma once

// PlaybackEngine: transport, play order, position monitor, transition engine and mixer
// of the main window, without any widget. It holds every playback value once, as typed
// properties with change signals; the window binds its controls to them and shows what
// the display signals report. The playing row lives in the list (PlaybackList), which
// keeps it on its song while rows move; the engine reads and moves it there.
//
// Call order: construct with a deck factory and the playlist's hooks; choose the output with
// setOutputDevice (creates both decks); restore the settings through the setters; then
// the commands in any order. Decks may be absent (no output found): every deck call is
// then skipped, and the song loader creates the deck.
//
// Dead ends are never shown as playing: when no output can take a song's sound, or one
// pass through the list finds nothing that opens, the engine stops, says why through
// noticeChanged, and the position monitor waits for the user's next command instead of
// trying again ten times a second. The notice stays until a song opens again.
//
// Units: times are whole seconds; deck levels are attenuations 0 (loudest) .. MaxLevel
// played at -(a*a) hundredths of a decibel; the master level is 0 .. MaxLevel.
//
// Threading: GUI thread only. Both timers fire on the thread that owns the engine; the
// commands never block and never run concurrently with each other.

#include "deck/songanalysis.h"
#include "playback/beatmatch.h"
#include "playback/deck.h"
#include "playback/playbacklist.h"
#include "playback/programrandom.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace volaro::playback {

enum class PlayState : int16_t { Stopped = 0, Playing = 1, Paused = 2 };

// In the order of the option buttons.
enum class TransitionType : int16_t { CrossDissolve = 0, UpDown, DownUp, Mix, Cut };
inline constexpr int TransitionTypeCount = 5;

// The texts and bars the engine drives, as last written (the window reads them once at
// construction and follows the signals after that).
struct PlaybackDisplay {
    QString lblStatus;
    QString lblTotal = QStringLiteral("00:00");
    QString lblPosition = QStringLiteral("00:00");
    QString lblTimeLeft = QStringLiteral("00:00");
    int prgPosition = 0;
    QString lblMasterVolume = QStringLiteral("100%");
    int prgMasterVolume = 100;
    std::array<QString, 2> lblVolume{QStringLiteral("0"), QStringLiteral("0")};
    std::array<int, 2> prgVolume{0, 0};
};

class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxLevel = 85;
    static constexpr int MinTransitionSeconds = 1;
    static constexpr int MaxTransitionSeconds = 100;
    static constexpr int MaxCut = 100;

    PlaybackEngine(DeckFactory factory, PlaybackList list, QObject* parent = nullptr);
    ~PlaybackEngine() override;

    // The program's one generator: shuffle reseeds it from the clock's second before
    // every draw; Random Order draws from it as it stands.
    ProgramRandom& random() { return m_generator; }
    // Shuffle draws in [0, 1) from elsewhere instead (tests give their own).
    void setRandomSource(std::function<double()> draw) { m_random = std::move(draw); }

    // Tick interval in ms for a transition of `seconds` at master level `masterLevel`;
    // none when the master level is 0 (the timer keeps its interval).
    static std::optional<int> transitionInterval(int32_t seconds, int masterLevel);

    // --- Settings: each setter refuses a value outside its range (returns false) ------
    int masterLevel() const { return m_masterLevel; }
    bool setMasterLevel(int64_t level);
    int transitionSeconds() const { return m_transitionSeconds; }
    bool setTransitionSeconds(int64_t seconds);
    TransitionType transitionType() const { return m_transitionType; }
    bool setTransitionType(int64_t index);
    int cutFirst() const { return m_cutFirst; }
    bool setCutFirst(int64_t seconds);
    int cutLast() const { return m_cutLast; }
    bool setCutLast(int64_t seconds);
    bool shuffle() const { return m_shuffle; }
    void setShuffle(bool on);
    // Level Song Loudness and Skip Silence shape the songs whose analysis is known when
    // they load. A playing song whose analysis lands later (soundLearnt) glides to its
    // level and takes its new end point, keeping its start; switching Level Song Loudness
    // makes the songs that play glide too.
    bool levelLoudness() const { return m_levelLoudness; }
    void setLevelLoudness(bool on);
    // Keep Albums Whole: consecutive songs of one album (in order, not in shuffle) join
    // without a transition, to the sample.
    bool keepAlbumsWhole() const { return m_keepAlbumsWhole; }
    void setKeepAlbumsWhole(bool on);
    bool joinsAlbums() const { return m_keepAlbumsWhole && !m_shuffle; }
    // How long before its end a song that joins the next has the next queued behind it.
    static constexpr int JoinLeadSeconds = 3;
    // Match Beats: with confident beat grids on both songs, transitions start on a
    // downbeat and the incoming song comes in on its own, at the outgoing song's tempo
    // while they overlap (beatmatch.h).
    bool matchBeats() const { return m_matchBeats; }
    void setMatchBeats(bool on);
    // The plan of a beat-matched transition from one song to another; none when Match
    // Beats is off or the rule gives none. The total length counts with it too.
    std::optional<BeatPlan> beatPlanOf(const QString& outPath, int32_t outDuration,
                                       const QString& inPath, int32_t inDuration) const;
    static constexpr double BeatPlanLeadSeconds = 1.5; // the incoming deck is set up then
    static constexpr double BeatMinLeadSeconds = 0.25; // and not later
    static constexpr int BeatReturnBars = 8;
    bool skipSilence() const { return m_skipSilence; }
    void setSkipSilence(bool on) {
        if (std::exchange(m_skipSilence, on) != on)
            emit skipSilenceChanged(on);
    }
    // What is known of a song's sound at this moment (nothing while it waits for its
    // analysis); must not wait. By default nothing is ever known.
    using SoundLookup = std::function<std::optional<deck::SongAnalysis>(const QString& path)>;
    void setSoundLookup(SoundLookup lookup) { m_sound = std::move(lookup); }
    // The lookup now knows the song at `path`.
    void soundLearnt(const QString& path);
    // Start and end point of a song of `duration` seconds: the trims, and with Skip Silence
    // the sound's own ends once known. Every song load and the total length count with it.
    deck::SongSpan spanOf(const QString& path, int32_t duration) const;

    // --- State ------------------------------------------------------------------------
    PlayState playState() const { return m_playState; }
    // CurrentIndex: the list's playing row (1-based; 0 past the end; -1 list found empty).
    int currentIndex() const;
    int currentDeck() const { return m_currentDeck; }
    int deckLevel(int deck) const { return (deck == 0 || deck == 1) ? m_deckLevel[deck] : 0; }
    int songStart() const { return m_songStart; }
    int songEnd() const { return m_songEnd; }
    int transitionStep() const { return m_transitionStep; }
    // The position slider: seconds since the song's start point, 0 .. positionMaximum.
    int position() const { return m_position; }
    int positionMaximum() const { return m_positionMax; }
    const PlaybackDisplay& display() const { return m_display; }
    QString outputDevice() const { return m_outputDevice; }
    Deck* deck(int index) const {
        return (index == 0 || index == 1) ? m_decks[index].get() : nullptr;
    }
    // A fresh deck bound to no output, so measuring a song never touches a deck that
    // plays (such a deck still reports the file's duration).
    std::unique_ptr<Deck> measuringDeck() const;
    // The notice shown instead of the web address; empty when there is none.
    QString notice() const { return m_notice; }

    static inline const QString StatusPlayText = QStringLiteral("Play");
    static inline const QString StatusStopText = QStringLiteral("Stop");
    static inline const QString StatusPauseText = QStringLiteral("Pause");
    static inline const QString NoOutputNotice = QStringLiteral("No sound output can be opened");
    static inline const QString NothingPlayableNotice =
        QStringLiteral("Nothing in the list can be played");

    // --- Commands -----------------------------------------------------------------------
    void play();
    void pause();
    void stop();
    void next();
    void back();
    void playSelected();
    void showPlaying();
    // The user (or a remote client) moves to `seconds` since the song's start point;
    // refused outside 0 .. positionMaximum.
    bool seek(int64_t seconds);
    // Both decks are released and rebuilt on `name`; nothing else moves.
    void setOutputDevice(const QString& name);

    // --- Timers, public so tests can tick them by hand -----------------------------------
    QTimer tmrPosition;   // 100 ms, on from the first song load
    QTimer tmrTransition; // precise; interval set per transition
    // While a song for a transition is still being read: after OpenTimeoutMs it is passed
    // over like a file that does not open (stalled storage), and the list goes on.
    QTimer tmrOpening;
    static constexpr int OpenTimeoutMs = 2000;
    // Starts the song of the playing row: opens it (or takes it from what was opened
    // ahead) and, once it is open, fades it in on the other deck. A song that does not
    // open is passed over at once, the song in play going on meanwhile.
    void DoTransition();
    void tmrTransition_Timer();
    void tmrPosition_Timer();
    void tmrOpening_Timer();
    // Single shot: a beat-matched transition's levels start moving on its downbeat.
    QTimer tmrBeat;
    void tmrBeat_Timer();
    // A song is being opened for a transition.
    bool opening() const { return m_opening.deck != nullptr; }

signals:
    void playStateChanged(volaro::playback::PlayState state);
    // The incoming song of a transition started playing from `row`; once per song.
    void songStarted(int row);
    void seeked(int seconds);
    void masterLevelChanged(int level);
    void transitionSecondsChanged(int seconds);
    void transitionTypeChanged(volaro::playback::TransitionType type);
    void cutFirstChanged(int seconds);
    void cutLastChanged(int seconds);
    void shuffleChanged(bool on);
    void levelLoudnessChanged(bool on);
    void skipSilenceChanged(bool on);
    void keepAlbumsWholeChanged(bool on);
    void matchBeatsChanged(bool on);
    void positionChanged(int value, int maximum); // the slider, whoever moved it

    void statusTextChanged(const QString& text);               // lblStatus
    void totalTextChanged(const QString& text);                // lblTotal
    void positionTextChanged(const QString& text);             // lblPosition
    void timeLeftTextChanged(const QString& text);             // lblTimeLeft
    void positionPercentChanged(int percent);                  // prgPosition
    void masterVolumeTextChanged(const QString& text);         // lblMasterVolume
    void masterVolumePercentChanged(int percent);              // prgMasterVolume
    void deckVolumeTextChanged(int deck, const QString& text); // lblVolume(deck)
    void deckVolumePercentChanged(int deck, int percent);      // prgVolume(deck)
    void noticeChanged(const QString& text); // status bar panel 2; empty: the web address

private:
    // A song on its way to a deck: opening, or open and waiting for its transition.
    struct PendingSong {
        std::unique_ptr<Deck> deck;
        QString path;
        int serial = 0; // tells its open's answer from an older one's
        bool ready = false;
        int16_t status = Deck::OpenOk;
    };

    // The engine's 16-bit fields take only what fits them.
    static bool fits16(int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; }
    void setCurrentIndex(int64_t index);
    void setPlayState(PlayState state);
    void startTransition();
    std::unique_ptr<Deck> newDeck(const QString& path) const;
    void openPending(PendingSong& song);
    void songOpened(int serial, int16_t status);
    void dropOpening();
    void finishOpening();
    void openNext(int row = 0);
    int16_t LoadSongOnDeck(PendingSong song);
    int nextRow() const;
    bool joinWanted(int row) const;
    bool followJoin(int64_t position);
    void joinHeard();
    int upcomingRow();
    bool followBeats();
    void startOnTheBeat(int row, const BeatPlan& plan, int64_t frame, double wait);
    void transitionClosed();
    bool canSound(int16_t openStatus);
    bool wholeListUnplayable() const;
    void halt(const QString& why);
    void setNotice(const QString& text);
    void setStatus(const QString& text);
    void setDeckLevel(int deck, int64_t level, bool force = false);
    void showPosition(int64_t value);
    int32_t songGainOf(const QString& path) const;
    void setEnd(int32_t end);
    void positionDisplay();
    void masterDisplay();
    double drawRandom();

    DeckFactory m_factory;
    PlaybackList m_list;
    ProgramRandom m_generator;
    std::function<double()> m_random;
    SoundLookup m_sound;
    std::array<std::unique_ptr<Deck>, 2> m_decks;
    QString m_outputDevice;
    PlaybackDisplay m_display;
    QString m_notice;

    int m_masterLevel = MaxLevel;
    int m_transitionSeconds = MinTransitionSeconds;
    TransitionType m_transitionType = TransitionType::CrossDissolve;
    int m_cutFirst = 0;
    int m_cutLast = 0;
    bool m_shuffle = false;
    bool m_levelLoudness = false;
    bool m_skipSilence = false;
    bool m_keepAlbumsWhole = false;
    bool m_matchBeats = false;

    PlayState m_playState = PlayState::Stopped;
    int m_currentDeck = 0; // deck of the current (incoming) song
    std::array<int, 2> m_deckLevel{MaxLevel, MaxLevel};
    int32_t m_songStart = 0;
    int32_t m_songEnd = 0;
    int32_t m_songDuration = 0;
    std::array<QString, 2> m_deckPath; // the song each deck holds
    int m_transitionStep = 0;
    int m_position = 0;
    int m_positionMax = 1000;
    // Stopped at a dead end: the position monitor starts nothing until a command does.
    bool m_halted = false;
    QSet<QString> m_unplayable; // locations that failed to open since the last good one
    PendingSong m_opening;      // the song a transition waits for
    PendingSong m_next;         // the next song of the list, opened ahead
    int m_openSerial = 0;
    // A song queued to follow the one in play without a gap.
    struct Join {
        bool committed = false;
        int row = 0;
        QString path;
        int32_t duration = 0;
    };
    Join m_join;
    int m_joinsHeard = 0;        // of the current deck
    int m_noJoinRow = 0;         // a row that turned out not to join (its file did not open)
    bool m_beatsRefused = false; // no beat-matched transition out of the current song
    int m_drawnRow = 0;          // in shuffle, the next row drawn ahead for a plan
    double m_beatBarSeconds = 0; // while the incoming song runs at another's tempo
    int m_transitionDepth = 0;   // DoTransition calls under way
    bool m_transitionAgain = false;
};

} // namespace volaro::playback
