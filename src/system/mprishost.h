#pragma once

// MprisHost: what the desktop's player controls need of the player, kept narrow so the
// bus code knows nothing of the window or the engine. The host runs every command through
// the handlers the window's own buttons and sliders use.
//
// Threading: GUI thread only.

#include <QString>
#include <cstdint>

namespace volaro::system {

// The song that started last, as it stood when it started.
struct MprisTrack {
    QString location; // the file's path: the song's identity
    QString title;
    QString artist;
    QString album;
    int64_t lengthUs = 0; // playable length
};

class MprisHost {
public:
    enum class Status { Stopped, Playing, Paused };

    virtual ~MprisHost() = default;

    virtual Status status() const = 0;
    // The song in play; an empty location when none has started.
    virtual MprisTrack track() const = 0;
    // Microseconds from the song's start point.
    virtual int64_t positionUs() const = 0;
    virtual double volume() const = 0; // 0 .. 1
    virtual bool shuffle() const = 0;
    virtual bool hasSongs() const = 0;

    virtual void play() = 0;
    virtual void pause() = 0; // the Pause button: pauses, or resumes when paused
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    // Moves the current song to `us` from its start point, as the position slider does.
    virtual void seekTo(int64_t us) = 0;
    virtual void setVolume(double volume) = 0;
    virtual void setShuffle(bool on) = 0;
    // Appends the file (or a list file's entries) as a drop does and plays the first
    // added row; false when nothing was added.
    virtual bool openAndPlay(const QString& path) = 0;
    virtual void raise() = 0;
    virtual void quit() = 0;
};

} // namespace volaro::system
