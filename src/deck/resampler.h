#pragma once

// Resampler: converts a stream of interleaved stereo float frames from one rate to another
// with libsoxr at high quality (20-bit: artefacts below -110 dB), keeping its filter state
// from one call to the next, so that the way the stream is cut into chunks leaves no mark.
// Equal rates pass through untouched and cost a copy.
//
// Call order: configure(), then process() as input comes, drain() once the input has
// ended (until it returns 0), reset() to start a new signal (a seek) with the same rates.
//
// Threading: one thread at a time (a deck's decoding worker).

#include <cstddef>

struct soxr;

namespace volaro::deck {

class Resampler {
public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // False when the rates cannot be converted (the stream then ends).
    bool configure(double inRate, double outRate);
    bool configured() const { return m_configured; }
    double inRate() const { return m_inRate; }
    double outRate() const { return m_outRate; }
    void reset();

    // Converts from `in` (inFrames frames) into `out` (room for outFrames frames); returns
    // the frames written and sets *consumed to the input frames taken.
    size_t process(const float* in, size_t inFrames, size_t* consumed, float* out,
                   size_t outFrames);
    // After the last input: writes what the filter still holds; 0 once it is empty.
    size_t drain(float* out, size_t outFrames);

private:
    soxr* m_soxr = nullptr; // null while the rates are equal
    double m_inRate = 0;
    double m_outRate = 0;
    bool m_configured = false;
};

} // namespace volaro::deck
