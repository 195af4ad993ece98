#include "playback/beatmatch.h"

#include <cmath>

namespace volaro::playback {

std::optional<BeatPlan> planBeats(const deck::BeatGrid& out, double outStart, double outEnd,
                                  const deck::BeatGrid& in, double inStart, double inEnd,
                                  int transitionSeconds) {
    if (!out.confident() || !in.confident())
        return std::nullopt;
    // The incoming song's beat against the outgoing one's: the same, or double or half.
    std::optional<double> tempo;
    for (const double beatsPerOutBeat : {1.0, 2.0, 0.5}) {
        const double t = out.bpm * beatsPerOutBeat / in.bpm;
        if (std::abs(t - 1) <= MaxTempoGap) {
            tempo = t;
            break;
        }
    }
    if (!tempo)
        return std::nullopt;
    BeatPlan plan;
    plan.tempo = *tempo;
    plan.inBarSeconds = in.barSeconds();
    const double bars = std::max(1.0, std::round(transitionSeconds / out.barSeconds()));
    plan.seconds = bars * out.barSeconds();
    plan.outDownbeat = out.downbeatAtOrBefore(outEnd - plan.seconds);
    plan.inDownbeat = in.downbeatAtOrAfter(inStart);
    if (plan.outDownbeat < outStart || plan.inDownbeat >= inEnd)
        return std::nullopt; // too short for a bar
    return plan;
}

} // namespace volaro::playback
