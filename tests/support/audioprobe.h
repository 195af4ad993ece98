#pragma once

// Listening to transitions in captured output. Tones on exact 30 Hz bins measured over 1/30 s
// add nothing to each other: a deck at -72 dB is still heard beside one at full level.

#include "support/audiocapture.h"
#include "support/fixtures.h"

#include <QString>
#include <cmath>
#include <vector>

namespace volaro::testing {

constexpr int ProbeRate = 44100;
constexpr int ProbeWindow = ProbeRate / 30;
constexpr double ProbeAmplitude = 0.5;

inline fixtures::Signal probeSpec(double frequency, double seconds) {
    return {.frequency = frequency, .seconds = seconds, .amplitude = ProbeAmplitude};
}

// Levels of one tone per window, in dB against ProbeAmplitude.
inline std::vector<double> probeDecibels(const std::vector<float>& samples, double frequency) {
    std::vector<double> out;
    for (size_t at = 0; at + ProbeWindow * 2 <= samples.size(); at += ProbeWindow * 2) {
        const std::vector<float> window(samples.begin() + at,
                                        samples.begin() + at + ProbeWindow * 2);
        out.push_back(capture::decibels(capture::toneAmplitude(window, 2, 0, ProbeRate, frequency),
                                        ProbeAmplitude));
    }
    return out;
}

// Frames from the start of `samples` where the incoming tone is first heard at all, and
// after which the outgoing tone is never heard again.
struct FadeMarks {
    int64_t inHeard = -1, outGone = -1;
};

inline FadeMarks measureFade(const std::vector<float>& samples, double outgoing, double incoming) {
    const double heard = ProbeAmplitude * std::pow(10.0, -80.0 / 20.0);
    return {capture::toneStart(samples, 2, 0, ProbeRate, incoming, heard, ProbeWindow),
            capture::toneEnd(samples, 2, 0, ProbeRate, outgoing, heard, ProbeWindow)};
}

} // namespace volaro::testing
