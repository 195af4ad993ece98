#pragma once

// TimeStretcher: plays a stream of interleaved stereo float frames faster or slower with
// its pitch kept (Rubber Band, real-time mode, its lighter engine), so that a song can run
// at another song's tempo while the two overlap. The output keeps the input's timing: the
// stretcher's own delay is padded at the start and cut from the output, so frame n of the
// input comes out where n / tempo frames of output have gone.
//
// Call order: start() (a fresh signal: a song's start or a seek), then process() as input
// comes and setTempo() whenever the speed moves; drain() once the input has ended.
//
// Threading: one thread at a time (a deck's decoding worker); never the audio callback.

#include <cstddef>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace volaro::deck {

class TimeStretcher {
public:
    TimeStretcher();
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    void start(int sampleRate, double tempo);
    bool started() const { return m_stretcher != nullptr; }
    // Speed of play: 1 is the song's own, 1.04 four per cent faster.
    void setTempo(double tempo);
    double tempo() const { return m_tempo; }

    // Takes from `in` (inFrames frames) what the stretcher asks for and writes what it has
    // into `out` (room for outFrames frames); returns the frames written and sets *consumed.
    size_t process(const float* in, size_t inFrames, size_t* consumed, float* out,
                   size_t outFrames);
    // After the last input: writes what the stretcher still holds; 0 once it is empty.
    size_t drain(float* out, size_t outFrames);

private:
    void feed(const float* in, size_t frames, bool final);
    size_t take(float* out, size_t outFrames);

    std::unique_ptr<RubberBand::RubberBandStretcher> m_stretcher;
    int m_rate = 0;
    double m_tempo = 1.0;
    size_t m_toDiscard = 0; // of the output: the stretcher's start delay
    bool m_final = false;
    std::vector<float> m_planar[2];
};

} // namespace volaro::deck
