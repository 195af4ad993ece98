#pragma once

// BeatTracker: finds a song's beat grid while its decoded sound streams by, as part of the
// one pass that also measures its loudness. The sound is mixed to mono and averaged down to
// about 2.8 kHz, where the Queen Mary DSP library's complex-domain onset detection function
// runs on steps of about 12 ms; at the end its TempoTrackV2 places the beats, a
// least-squares line through them gives a constant tempo and phase, and the beat of the bar
// with the strongest low-frequency onsets (the kick on the one) is the downbeat. The
// confidence says how close the beats lie to the line and how clearly they sit on onsets.
//
// Three values per step are kept (about 1.7 MB for MaxSeconds), for at most MaxSeconds of
// sound: a longer file (a mix, a live set, hours of anything) gets no grid, since one
// constant tempo rarely holds that long, and the work stops there.
//
// Threading: one instance per pass, used by one thread.

#include "deck/songanalysis.h"

#include <memory>

namespace volaro::deck {

class BeatTracker {
public:
    static constexpr double MaxSeconds = 20 * 60;

    BeatTracker(int sampleRate, int channels);
    ~BeatTracker();
    BeatTracker(const BeatTracker&) = delete;
    BeatTracker& operator=(const BeatTracker&) = delete;

    // Interleaved samples, any number of frames at a time.
    void add(const float* samples, long frames);
    // The grid of what was added; soundStart and soundEnd (seconds) bound where beats count.
    // No grid (bpm 0) when nothing steady was found.
    BeatGrid finish(double soundStart, double soundEnd);

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace volaro::deck
