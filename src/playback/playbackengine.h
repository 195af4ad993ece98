#pragma once

// PlaybackEngine: transport, play order, position monitor, transition engine and mixer
// of the main window, without any widget. The window forwards user input to the
// handlers and to the control values (hscVolume.setValue(...) etc.), and shows what the
// signals report; the settings reader sets the fields and control values at start-up.
//
// Call order: construct with a deck factory and the playlist; choose the output with
// cmbOutputDevices_Click (creates both decks); restore the settings into the fields and
// control values; then the transport handlers in any order. Decks may be absent (no
// output found): every deck call is then skipped, and the song loader creates the deck.
//
// Dead ends are never shown as playing: when no output can take a song's sound, or one
// pass through the list finds nothing that opens, the engine stops, says why through
// noticeChanged, and the position monitor waits for the user's next command instead of
// trying again ten times a second. The notice stays until a song opens again.
//
// Units: times are whole seconds; deck levels are attenuations 0 (loudest) .. 85 played
// at -(a*a) hundredths of a decibel; the master volume is a level 0 .. 85.
//
// Threading: GUI thread only. Both timers fire on the thread that owns the engine; the
// handlers never block and never run concurrently with each other.

#include "controlvalue.h"
#include "deck.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace volaro::playback {

class PlaybackList;

// The texts and bars the engine drives, as last written (the window may read them once
// at construction and follow the signals after that).
struct PlaybackDisplay {
    QString lblStatus;
    QString lblTotal = QStringLiteral("00:00");
    QString lblPosition = QStringLiteral("00:00");
    QString lblTimeLeft = QStringLiteral("00:00");
    int prgPosition = 0;
    QString lblMasterVolume = QStringLiteral("100%");
    int prgMasterVolume = 100;
    std::array<QString, 2> lblVolume{QStringLiteral("100%"), QStringLiteral("100%")};
    std::array<int, 2> prgVolume{100, 100};
    QString lblTransitionTime = QStringLiteral("1");
    QString lblCutFirst = QStringLiteral("0");
    QString lblCutLast = QStringLiteral("0");
};

class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    PlaybackEngine(DeckFactory factory, PlaybackList* list, QObject* parent = nullptr);
    ~PlaybackEngine() override;

    void setList(PlaybackList* list) { m_list = list; }
    PlaybackList* list() const { return m_list; }

    // Shuffle draws: r in [0, 1). The default reseeds from the seconds since midnight
    // before every draw; tests give their own.
    void setRandomSource(std::function<double()> draw) { m_random = std::move(draw); }

    // Tick interval in ms for a transition of `transitionTime` s at master level
    // `masterVolume`; none when the master volume is 0 (the timer keeps its interval).
    static std::optional<int> transitionInterval(int32_t transitionTime, int masterVolume);

    // --- Fields of the main window --------------------------------------------------
    int16_t CurrentDeck = 0;  // deck of the current (incoming) song
    int16_t PlayState = 0;    // 0 stopped, 1 playing, 2 paused
    int16_t CurrentIndex = 0; // 1-based row in play; 0 past the end; -1 list empty
    int32_t TransitionTime = 0;
    int16_t TransitionType = 0;
    int32_t CutFirst = 0;
    int32_t CutLast = 0;
    int32_t SongStart = 0;
    int32_t SongEnd = 0;
    int16_t TransitionStep = 0;
    int16_t PositionUpdating = 0;
    std::array<std::unique_ptr<Deck>, 2> Decks;

    static inline const QString StatusPlayText = QStringLiteral("Play");
    static inline const QString StatusStopText = QStringLiteral("Stop");
    static inline const QString StatusPauseText = QStringLiteral("Pause");
    static inline const QString NoOutputNotice = QStringLiteral("No sound output can be opened");
    static inline const QString NothingPlayableNotice =
        QStringLiteral("Nothing in the list can be played");

    // --- Controls (values with their designed ranges) --------------------------------
    ControlValue hscVolume{0, 85, 85}; // master level V
    std::array<ControlValue, 2> vscVolume{ControlValue{0, 85, 0}, ControlValue{0, 85, 0}};
    ControlValue hscPosition{0, 1000, 0};       // seconds since the song's start point
    ControlValue spinTransitionTime{100, 1, 1}; // inverted: up increases
    ControlValue spinCutFirst{100, 0, 0};
    ControlValue spinCutLast{100, 0, 0};
    ControlValue optTransition{0, 4, 0}; // index of the selected transition button
    ControlValue chkRndPlay{0, 1, 0};    // 1 = shuffle mode

    QTimer tmrPosition;   // 100 ms, on from the first song load
    QTimer tmrTransition; // precise; interval set per transition

    const PlaybackDisplay& display() const { return m_display; }
    QString outputDevice() const { return m_outputDevice; }
    Deck* deck(int index) const {
        return (index == 0 || index == 1) ? Decks[index].get() : nullptr;
    }

    // A fresh deck bound to no output, so measuring a song never touches a deck that
    // plays (such a deck still reports the file's duration).
    std::unique_ptr<Deck> measuringDeck() const;
    // The notice shown instead of the web address; empty when there is none.
    QString notice() const { return m_notice; }

    // --- Handlers ------------------------------------------------------------------
    void btnPlay_Click();
    void btnPause_Click();
    void btnStop_Click();
    void btnNext_Click();
    void btnBack_Click();
    void mnuPlaySelectedItem_Click();
    void mnuShowItemInPlay_Click();
    void DoTransition();
    void tmrTransition_Timer();
    void tmrPosition_Timer();

    void hscVolume_Change();
    void vscVolume_Change(int deck);
    void hscPosition_Change();
    void optTransition_Click(int index);
    void spinTransitionTime_Change();
    void spinCutFirst_Change();
    void spinCutLast_Change();
    // Output choice: both decks are released and rebuilt on `name`; nothing else moves.
    void cmbOutputDevices_Click(const QString& name);

signals:
    void statusTextChanged(const QString& text);               // lblStatus
    void totalTextChanged(const QString& text);                // lblTotal
    void positionTextChanged(const QString& text);             // lblPosition
    void timeLeftTextChanged(const QString& text);             // lblTimeLeft
    void positionPercentChanged(int percent);                  // prgPosition
    void masterVolumeTextChanged(const QString& text);         // lblMasterVolume
    void masterVolumePercentChanged(int percent);              // prgMasterVolume
    void deckVolumeTextChanged(int deck, const QString& text); // lblVolume(deck)
    void deckVolumePercentChanged(int deck, int percent);      // prgVolume(deck)
    void transitionTimeTextChanged(const QString& text);       // lblTransitionTime
    void cutFirstTextChanged(const QString& text);             // lblCutFirst
    void cutLastTextChanged(const QString& text);              // lblCutLast
    void noticeChanged(const QString& text); // status bar panel 2; empty: the web address
    void songStarted(); // the incoming song of a transition began to play (row CurrentIndex)

    // Control values, for widgets that mirror them (emitted on every accepted change,
    // whoever made it).
    void masterVolumeValueChanged(int value);           // hscVolume
    void deckLevelChanged(int deck, int value);         // vscVolume(deck)
    void positionSliderChanged(int value, int maximum); // hscPosition
    void transitionTimeValueChanged(int value);         // spinTransitionTime
    void cutFirstValueChanged(int value);               // spinCutFirst
    void cutLastValueChanged(int value);                // spinCutLast
    void transitionTypeChanged(int index);              // optTransition
    void shuffleChanged(int value);                     // chkRndPlay

private:
    Deck* replaceDeck(int index);
    int16_t LoadSongOnDeck();
    bool canSound(int16_t openStatus);
    bool wholeListUnplayable() const;
    void halt(const QString& why);
    void setNotice(const QString& text);
    void finishTransitionAtOnce();
    void setStatus(const QString& text);
    void setLevel(int deck, int64_t level);
    int listCount() const;
    double drawRandom();

    DeckFactory m_factory;
    PlaybackList* m_list = nullptr;
    std::function<double()> m_random;
    QString m_outputDevice;
    PlaybackDisplay m_display;
    QString m_notice;
    // Stopped at a dead end: the position monitor starts nothing until a command does.
    bool m_halted = false;
    QSet<QString> m_unplayable; // locations that failed to open since the last good one
};

} // namespace volaro::playback
