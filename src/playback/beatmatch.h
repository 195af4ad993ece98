#pragma once

// The rule of Match Beats, as pure functions of the two songs' beat grids: where a
// transition starts, how long it lasts, where the incoming song starts and how fast it
// runs while the two overlap.
//
// A transition that would start at outEnd - transitionSeconds starts instead on the
// outgoing song's latest downbeat that leaves room for the whole transition before its end
// point, and lasts the transition time rounded to whole bars of the outgoing song (at
// least one). The incoming song starts on its first downbeat at or after its start point,
// exactly when the outgoing song plays that downbeat. When the tempi are within
// MaxTempoGap of each other (or of double or half the other), the incoming song runs at
// the outgoing one's tempo while they overlap. Otherwise, or without a confident grid on
// both sides, there is no plan: the transition runs as without the option.
//
// Threading: pure functions.

#include "deck/songanalysis.h"

#include <optional>

namespace volaro::playback {

inline constexpr double MaxTempoGap = 0.08;

struct BeatPlan {
    double outDownbeat = 0;  // seconds of the outgoing song: where the transition starts
    double seconds = 0;      // its length: whole bars of the outgoing song
    double inDownbeat = 0;   // seconds of the incoming song: where it starts
    double tempo = 1;        // the incoming song's speed while they overlap
    double inBarSeconds = 0; // a bar of the incoming song at its own tempo
    bool operator==(const BeatPlan&) const = default;
};

std::optional<BeatPlan> planBeats(const deck::BeatGrid& out, double outStart, double outEnd,
                                  const deck::BeatGrid& in, double inStart, double inEnd,
                                  int transitionSeconds);

} // namespace volaro::playback
