#pragma once

// TotalLength: the "Calculate Total" run over the playlist, as the engine would play it
// in order. Durations already known (column 9) are taken as they are; the others are
// measured by opening the file on a fresh deck. Between songs the caller's event pump runs, so
// playback, transitions and a cancelling second click go on while it works.
//
// Call order: run() once per click; cancel() from a click that arrives during the run.
// Rows deleted during a run end it at the next song, so no vanished row is ever read.
//
// Threading: GUI thread only.

#include "playback/playbackengine.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace volaro::playlist {
class ClipListModel;
}

namespace volaro::app {

struct TotalLengthSettings {
    // The start and end point of the song at a path, given its duration (the engine's).
    std::function<deck::SongSpan(const QString& path, int32_t duration)> Span;
    int32_t TransitionTime = 0;
    playback::TransitionType TransitionType = playback::TransitionType::CrossDissolve;
    // Songs of one album that follow each other join: back to back, with no transition and
    // no trims where they meet.
    bool KeepAlbumsWhole = false;
    // The plan of a beat-matched transition between two songs, where there is one.
    std::function<std::optional<playback::BeatPlan>(const QString& out, int32_t outDuration,
                                                    const QString& in, int32_t inDuration)>
        BeatPlan;
};

class TotalLength {
public:
    // Opens `path` on a fresh deck and returns its duration in whole seconds.
    using Measure = std::function<int32_t(const QString& path)>;
    // Shows the running total and the count of songs done.
    using Show = std::function<void(const QString& total, int count)>;

    TotalLength(playlist::ClipListModel& list, Measure measure, Show show,
                std::function<void()> pumpEvents);

    bool Calculating() const { return m_calculating; }
    void cancel() { m_cancel = true; }

    // Returns the total in seconds (after the transition times are taken off).
    double run(const TotalLengthSettings& settings);

private:
    playlist::ClipListModel& m_list;
    Measure m_measure;
    Show m_show;
    std::function<void()> m_pump;
    bool m_calculating = false;
    bool m_cancel = false;
};

} // namespace volaro::app
