#pragma once

// MprisHost: what the desktop's player controls need of the player, as hooks the player
// fills in (all of them), kept narrow so the bus code knows nothing of the window or the
// engine. The commands run the same routines as the window's own buttons and sliders.
//
// Threading: GUI thread only.

#include <QString>
#include <cstdint>
#include <functional>

namespace volaro::system {

// The song that started last, as it stood when it started.
struct MprisTrack {
    QString location; // the file's path: the song's identity
    QString title;
    QString artist;
    QString album;
    int64_t lengthUs = 0; // playable length
};

struct MprisHost {
    enum class Status { Stopped, Playing, Paused };

    std::function<Status()> status;
    // The song in play; an empty location when none has started.
    std::function<MprisTrack()> track;
    // Microseconds from the song's start point.
    std::function<int64_t()> positionUs;
    std::function<double()> volume; // 0 .. 1
    std::function<bool()> shuffle;
    std::function<bool()> hasSongs;

    std::function<void()> play;
    std::function<void()> pause; // the Pause button: pauses, or resumes when paused
    std::function<void()> stop;
    std::function<void()> next;
    std::function<void()> previous;
    // Moves the current song to `us` from its start point, as the position slider does.
    std::function<void(int64_t us)> seekTo;
    std::function<void(double volume)> setVolume;
    std::function<void(bool on)> setShuffle;
    // Appends the file (or a list file's entries) as a drop does and plays the first
    // added row; false when nothing was added.
    std::function<bool(const QString& path)> openAndPlay;
    std::function<void()> raise;
    std::function<void()> quit;
};

} // namespace volaro::system
