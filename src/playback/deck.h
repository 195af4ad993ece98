#pragma once

// Deck: the operations the playback engine needs from one playback chain. The engine
// never touches Player directly, so tests can hand it recording fakes and the window
// hands it PlayerDeck (decks over the real audio back end).
//
// Units as in Player: whole seconds, volume in hundredths of a decibel (0 loudest,
// -7225 is the quietest level the mixer uses).
//
// Threading: GUI thread only, like Player.

#include "deck/openstatus.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace volaro::deck {
class Player;
}

namespace volaro::playback {

class Deck {
public:
    virtual ~Deck() = default;

    virtual void setOutputDevice(const QString& name) = 0;
    virtual void setFilename(const QString& path) = 0;

    // What OpenFile reports: the deck's own codes.
    using enum deck::OpenStatus;
    virtual int16_t OpenFile() = 0;
    // Opens without waiting for the file (which may lie on slow storage): `done` gets what
    // OpenFile would have returned, later, on the GUI thread, unless the deck is destroyed
    // first. A deck with nothing slow to read calls it at once.
    using OpenDone = std::function<void(int16_t status)>;
    virtual void OpenFileAsync(OpenDone done) { done(OpenFile()); }
    virtual void PlayFile() = 0;
    virtual void PauseFile() = 0;
    virtual void StopFile() = 0;
    virtual void setPosition(int32_t seconds) = 0;
    virtual int32_t Position() = 0;
    virtual int32_t Duration() = 0;
    virtual void setVolume(int32_t hundredthsDb) = 0;
    // The song's own level (hundredths of a decibel, positive boosts), added to the volume.
    // Set before OpenFile the song starts at it; set while it plays, the song glides to it
    // over about a second. A deck without one ignores it.
    virtual void setSongGain(int32_t /*hundredthsDb*/) {}
    // Albums played whole. queueAfter: `next` (opened, not played) follows this deck's song
    // with no gap once it has played its last frame; next is spent. cancelQueued takes it
    // back while it has not begun. songsJoined: how many queued songs began to be heard
    // here (Position then counts within the song heard). A deck that cannot join says
    // false and 0.
    virtual bool queueAfter(Deck& /*next*/) { return false; }
    virtual bool cancelQueued() { return false; }
    virtual int songsJoined() { return 0; }
    // Beats matched (see Player): the place heard now, unrounded; the output frame at which
    // a place of the song is heard (-1: not known, the deck cannot match beats); a start at
    // an output frame; a tempo with the pitch kept.
    virtual double exactPosition() { return Position(); }
    virtual void seekExact(double seconds) { setPosition(static_cast<int32_t>(seconds)); }
    virtual int64_t outputFrameAt(double /*seconds*/) { return -1; }
    virtual void startAtOutputFrame(int64_t /*frame*/) {}
    virtual void setTempo(double /*tempo*/, double /*glideSeconds*/) {}
    // True once the output went away and no other output took the sound over: the deck is
    // silent and its position stands still. A deck that cannot lose its output says false.
    virtual bool outputLost() { return false; }
};

// Makes a fresh, empty deck bound to no output; called once per song load, per
// output-device choice and per song the total length measures.
using DeckFactory = std::function<std::unique_ptr<Deck>()>;

// Deck over a real Player. Destroying it destroys the Player, which silences it.
class PlayerDeck final : public Deck {
public:
    PlayerDeck();
    ~PlayerDeck() override;

    void setOutputDevice(const QString& name) override;
    void setFilename(const QString& path) override;
    int16_t OpenFile() override;
    void OpenFileAsync(OpenDone done) override;
    void PlayFile() override;
    void PauseFile() override;
    void StopFile() override;
    void setPosition(int32_t seconds) override;
    int32_t Position() override;
    int32_t Duration() override;
    void setVolume(int32_t hundredthsDb) override;
    void setSongGain(int32_t hundredthsDb) override;
    bool queueAfter(Deck& next) override;
    bool cancelQueued() override;
    int songsJoined() override;
    double exactPosition() override;
    void seekExact(double seconds) override;
    int64_t outputFrameAt(double seconds) override;
    void startAtOutputFrame(int64_t frame) override;
    void setTempo(double tempo, double glideSeconds) override;
    bool outputLost() override;

private:
    std::unique_ptr<deck::Player> m_player;
};

// The factory the application gives the engine: every deck a new Player.
DeckFactory playerDeckFactory();

} // namespace volaro::playback
