#pragma once

// Player: one deck, i.e. one playback chain for one media file on one output device.
//
// Call order: set Filename and OutputDevice, then OpenFile; then PlayFile / PauseFile /
// StopFile, setPosition, setVolume, setBalance, setPitch as needed. The owner replaces
// the whole Player for every new song; destroying it silences the deck at once.
//
// Units: times are whole seconds; volume is attenuation in hundredths of a decibel
// (0 full level .. -10000 silence); balance -10 (left only) .. 10 (right only);
// pitch is a rate factor (1.0 normal, speed and pitch change together).
//
// Failures never reach the caller: a deck without a chain (before OpenFile, or after a
// failed one) ignores the transport calls, stores what the setters are given and
// returns 0 from the getters. A file that opens but finds no output listed under
// OutputDevice still has its Duration measured (status OpenNoOutput). An output that was
// listed once and has gone since gives way to the default output ("Default Output").
//
// OpenFileAsync does the slow part of OpenFile (reading the file: its decoder and its
// length, which may take long on slow or stalled storage) on a thread of its own, so that
// the window never waits for a disk; the rest runs back on the GUI thread.
//
// Threading: every member is called on the GUI thread. Decoding and mixing run on the
// audio engine's own threads and never wait for this object.

#include "deck/openstatus.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

namespace volaro::deck {

class AudioEngine;
class DeckStream;

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void setOutputDevice(const QString& name) { m_outputDevice = name; }
    QString OutputDevice() const { return m_outputDevice; }

    void setFilename(const QString& path) { m_filename = path; }
    QString Filename() const { return m_filename; }

    // Appends every output name, in the back end's order, to anything with
    // addItem(QString) (a combo box, a list, a test recorder).
    template <typename List> void EnumDirectSoundDevices(List& list) {
        for (const QString& name : outputNames())
            list.addItem(name);
    }

    // Status codes of OpenFile.
    using enum deck::OpenStatus;

    // Builds the chain, stopped at its start. 0 when built; nonzero when a step failed.
    int16_t OpenFile();
    // The same without waiting for the file: `done` gets the status on the GUI thread once
    // the file is read, unless the Player is destroyed or opens again first.
    void OpenFileAsync(std::function<void(int16_t status)> done);
    void PlayFile();
    void PauseFile();
    void StopFile();

    void setPosition(int32_t seconds);
    int32_t Position();

    void setPitch(double rate);
    double Pitch();

    void setDuration(int32_t seconds) { m_duration = seconds; }
    int32_t Duration() const { return m_duration; }

    void setVolume(int32_t hundredthsDb);
    int32_t Volume();

    void setBalance(int32_t balance);

    // The song's own level in hundredths of a decibel (positive boosts), added to the
    // volume. Set before OpenFile, the chain starts at it; set on an open chain, the song
    // glides to it over about a second.
    void setSongGain(int32_t hundredthsDb);

    // Albums played whole: `next` (opened, never played) follows this deck's song without a
    // gap, from its first frame, once this one has played its last; next's file moves here
    // and next is left without a chain. False when either has no chain.
    bool queueAfter(Player& next);
    // Takes the queued song back; false when there is none or it has begun.
    bool cancelQueued();
    // How many queued songs have begun to be heard on this deck; Position counts within
    // the song heard.
    int songsJoined() const;

    // Beat-matched transitions. exactPosition: the place heard now, in seconds, unrounded.
    // outputFrameAt: the output frame at which `seconds` of the song is heard (-1 when not
    // known). startAtOutputFrame: a deck set playing sounds from that frame on, not before.
    // setTempo: plays the song faster or slower with its pitch kept, gliding over
    // glideSeconds.
    double exactPosition();
    void seekExact(double seconds);
    int64_t outputFrameAt(double seconds) const;
    void startAtOutputFrame(int64_t frame);
    void setTempo(double tempo, double glideSeconds = 0);

    // True while the deck's output has gone and no other output takes its sound (the sound
    // server is away, or has no output left): the deck is silent and its position stands
    // still until the default output opens again. An output that goes away while others
    // remain is replaced by the default output at once, the deck going on where it was.
    bool outputLost() const;

    // The output names of the audio back end; may throw std::runtime_error when the
    // back end cannot list its outputs at all.
    static QStringList outputNames();

private:
    struct Read;
    static std::shared_ptr<Read> readFile(const QString& path);
    int16_t bind(const std::shared_ptr<Read>& read);

    QString m_filename;
    QString m_outputDevice;
    int32_t m_volume = 0;
    int32_t m_balance = 0;
    int32_t m_songGain = 0;
    double m_pitch = 0.0;
    int32_t m_duration = 0;
    int32_t m_position = 0;
    std::shared_ptr<DeckStream> m_stream;  // the chain; null when none
    std::shared_ptr<AudioEngine> m_engine; // taken at the first OpenFile
    std::unique_ptr<QObject> m_reading;    // the open under way; its results go to it
};

} // namespace volaro::deck
