#include "support/drums.h"

#include "support/fixtures.h"

#include <cmath>

namespace volaro::fixtures {

std::vector<float> renderDrums(const DrumPattern& p) {
    const auto frames = static_cast<size_t>(p.seconds * p.sampleRate);
    std::vector<float> out(frames * 2, 0.0f);
    const double rate = p.sampleRate;
    const auto add = [&](double at, double seconds, auto sample) {
        const auto from = static_cast<size_t>(std::llround(at * rate));
        const auto n = static_cast<size_t>(seconds * rate);
        for (size_t i = 0; i < n && from + i < frames; ++i) {
            const float v = static_cast<float>(sample(i / rate));
            out[(from + i) * 2] += v;
            out[(from + i) * 2 + 1] += v;
        }
    };
    for (int beat = 0;; ++beat) {
        const double at = p.intro + beat * p.beatSeconds();
        if (at >= p.seconds)
            break;
        const bool downbeat = (beat - p.pickupBeats) % p.beatsPerBar == 0 && beat >= p.pickupBeats;
        const double kick = downbeat ? 0.6 : 0.25; // with the hi-hat, below full scale
        // A kick: a falling low sine with a fast decay, its attack rounded (no click).
        add(at, 0.3, [&](double t) {
            const double phase = 2 * M_PI * (50 * t + 60 * (1 - std::exp(-t * 30)) / 30);
            const double attack = t < 0.002 ? std::pow(std::sin(M_PI / 2 * t / 0.002), 2) : 1.0;
            return kick * attack * std::exp(-t * 14) * std::sin(phase);
        });
        // The hi-hat: a short burst of the song's own pitch, its 2 ms attack rounded so
        // that it stays at that pitch (a capture can tell two songs' hi-hats apart).
        add(at, 0.08, [&](double t) {
            const double attack = t < 0.002 ? std::pow(std::sin(M_PI / 2 * t / 0.002), 2) : 1.0;
            const double decay = t < 0.002 ? 1.0 : std::exp(-(t - 0.002) * 60);
            return 0.2 * attack * decay * std::sin(2 * M_PI * p.hihatHz * t);
        });
    }
    return out;
}

bool writeDrums(const QString& path, const DrumPattern& p) {
    return writeWavSamples(path, renderDrums(p), p.sampleRate, 2);
}

} // namespace volaro::fixtures
