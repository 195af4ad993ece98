#include "deck/beattracker.h"

#include <algorithm>
#include <cmath>
#include <dsp/onsets/DetectionFunction.h>
#include <dsp/tempotracking/TempoTrackV2.h>
#include <vector>

namespace volaro::deck {
namespace {

// The step TempoTrackV2's tempo prior is tuned for: 512 samples at 44.1 kHz.
constexpr double StepSeconds = 512.0 / 44100.0;
// The rate the detection function sees: averaging blocks of samples down to it is a crude
// low-pass, but onsets (and the kick's band) come through, at a small part of the cost.
constexpr double DecimatedRate = 2756;
// The band whose onsets mark the bar's first beat (the kick).
constexpr double LowBandHz = 150;
// The detection function peaks this long after an attack (measured on sharp attacks).
constexpr double DetectorLag = 0.010;
// Fewer beats than this in the song's sound tell nothing.
constexpr int MinBeats = 16;

struct Line {
    double origin = 0; // seconds of beat 0
    double period = 0; // seconds per beat
    double spread = 1; // RMS distance of the beats from the line, in periods
};

// Least squares through (index, time); beats further than a quarter period off are left out
// of a second pass, so that a stumble of the tracker does not bend the whole grid.
Line fitLine(const std::vector<double>& times, const std::vector<double>& index) {
    Line line;
    std::vector<bool> use(times.size(), true);
    for (int pass = 0; pass < 2; ++pass) {
        double n = 0, mx = 0, my = 0;
        for (size_t i = 0; i < times.size(); ++i)
            if (use[i]) {
                n += 1;
                mx += index[i];
                my += times[i];
            }
        if (n < MinBeats)
            return Line{};
        mx /= n;
        my /= n;
        double sxy = 0, sxx = 0;
        for (size_t i = 0; i < times.size(); ++i)
            if (use[i]) {
                sxy += (index[i] - mx) * (times[i] - my);
                sxx += (index[i] - mx) * (index[i] - mx);
            }
        if (sxx <= 0)
            return Line{};
        line.period = sxy / sxx;
        line.origin = my - line.period * mx;
        double squares = 0;
        for (size_t i = 0; i < times.size(); ++i) {
            const double off = times[i] - (line.origin + line.period * index[i]);
            squares += off * off; // every beat counts in the spread, the stray ones too
            if (pass == 0 && std::abs(off) > line.period / 4)
                use[i] = false;
        }
        line.spread = std::sqrt(squares / double(times.size())) / line.period;
    }
    return line;
}

// Numbers the beats by how many typical periods lie between each and the one before, so
// that a beat the tracker skipped leaves a gap in the numbering instead of bending the line.
std::vector<double> numberBeats(const std::vector<double>& times) {
    std::vector<double> gaps(times.size() - 1);
    for (size_t i = 1; i < times.size(); ++i)
        gaps[i - 1] = times[i] - times[i - 1];
    std::vector<double> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double typical = sorted[sorted.size() / 2];
    if (!(typical > 0))
        return {};
    std::vector<double> index{0};
    for (double gap : gaps)
        index.push_back(index.back() + std::max(1.0, std::round(gap / typical)));
    return index;
}

// The largest value within a frame of f.
template <typename T> double peakNear(const std::vector<T>& values, long f) {
    double peak = 0;
    for (long i = std::max(0L, f - 1); i <= std::min(long(values.size()) - 1, f + 1); ++i)
        peak = std::max(peak, double(values[size_t(i)]));
    return peak;
}

// 0 .. 1: whether the beats sit on real onsets. Steady noise has as strong a detection
// function between the beats as on them; a held tone (whose detection function can ripple
// as steadily as a beat) has almost none next to the level of its spectrum.
double onsetEvidence(const std::vector<double>& df, const std::vector<float>& levels,
                     const std::vector<long>& beats) {
    double on = 0, level = 0, all = 0;
    for (long f : beats) {
        on += peakNear(df, f);
        level += levels[size_t(f)];
    }
    for (long f = beats.front(); f <= beats.back(); ++f)
        all += peakNear(df, f);
    const double onBeat = on / double(beats.size());
    const double anywhere = all / double(beats.back() - beats.front() + 1);
    const double contrast = onBeat > 0 ? (onBeat - anywhere) / (onBeat + anywhere) : 0;
    const double strength = level > 0 ? on / level : 0;
    return std::min(std::clamp(contrast / 0.2, 0.0, 1.0), std::clamp(strength / 0.1, 0.0, 1.0));
}

// The beat of the bar (0 .. beatsPerBar - 1, counted in the beats' numbering) whose beats
// have the most low-band onset energy: the kick on the one.
long downbeatPhase(const std::vector<float>& lows, const std::vector<long>& beats,
                   const std::vector<double>& index, int beatsPerBar) {
    std::vector<double> accent(size_t(beatsPerBar), 0.0);
    for (size_t i = 0; i < beats.size(); ++i) {
        double rise = 0;
        for (long f = std::max(1L, beats[i] - 1);
             f <= std::min(long(lows.size()) - 1, beats[i] + 2); ++f)
            rise += std::max(0.0f, lows[size_t(f)] - lows[size_t(f - 1)]);
        accent[size_t(std::lround(index[i])) % accent.size()] += rise;
    }
    return long(std::max_element(accent.begin(), accent.end()) - accent.begin());
}

} // namespace

struct BeatTracker::State {
    State(int rate, int channels, int factor, int step)
        : rate(rate)
        , channels(channels)
        , factor(factor)
        , step(step)
        , increment(step * factor)
        , scale(1.0 / (factor * channels))
        , detector(DFConfig{unsigned(step), unsigned(2 * step), DF_COMPLEXSD, 3.0, false, -1, -1})
        , frame(size_t(2 * step))
        , maxFrames(size_t(MaxSeconds * rate / increment)) {
        const double binHz = double(rate) / factor / (2 * step);
        lowBins = std::max(1, int(LowBandHz / binHz));
    }

    // One more step of decimated sound is in the second half of the frame.
    void processFrame() {
        onsets.push_back(detector.processTimeDomain(frame.data()));
        const double* magnitude = detector.getSpectrumMagnitude();
        double low = 0, level = 0;
        for (int k = 0; k <= step; ++k) {
            level += magnitude[k];
            if (k >= 1 && k <= lowBins)
                low += magnitude[k] * magnitude[k];
        }
        lows.push_back(float(low));
        levels.push_back(float(level));
        std::copy(frame.begin() + step, frame.end(), frame.begin());
    }

    const int rate, channels, factor, step, increment;
    const double scale;
    int lowBins = 1;
    DetectionFunction detector;
    std::vector<double> frame; // two steps of decimated sound
    double sum = 0;            // of the samples of the decimated sample being made
    int summed = 0;            // frames in sum
    int filled = 0;            // decimated samples in the frame's second half
    const size_t maxFrames;
    bool tooLong = false;
    std::vector<double> onsets; // the detection function, a value per step
    std::vector<float> lows;    // energy of the low band, a value per step
    std::vector<float> levels;  // the spectrum's summed magnitude, a value per step
};

BeatTracker::BeatTracker(int sampleRate, int channels) {
    const int factor = std::max(1, int(std::lround(sampleRate / DecimatedRate)));
    const int step = std::max(8, int(std::lround(StepSeconds * sampleRate / factor)));
    d = std::make_unique<State>(sampleRate, std::max(1, channels), factor, step);
}

BeatTracker::~BeatTracker() = default;

void BeatTracker::add(const float* samples, long frames) {
    State& s = *d;
    if (s.tooLong)
        return;
    const long values = frames * s.channels;
    for (long i = 0; i < values;) {
        for (int c = 0; c < s.channels; ++c)
            s.sum += samples[i++];
        if (++s.summed < s.factor)
            continue;
        // A stretch of damaged samples must not poison the detector's history.
        s.frame[size_t(s.step + s.filled)] = std::isfinite(s.sum) ? s.sum * s.scale : 0.0;
        s.sum = 0;
        s.summed = 0;
        if (++s.filled < s.step)
            continue;
        s.filled = 0;
        s.processFrame();
        if (s.onsets.size() >= s.maxFrames) {
            s.tooLong = true; // and the memory goes back at once
            s.onsets = std::vector<double>();
            s.lows = std::vector<float>();
            s.levels = std::vector<float>();
            return;
        }
    }
}

BeatGrid BeatTracker::finish(double soundStart, double soundEnd) {
    State& s = *d;
    std::vector<double>& df = s.onsets;
    if (s.tooLong || df.size() < 4)
        return {};
    const double frameSeconds = double(s.increment) / s.rate;
    df[0] = df[1] = 0; // the detector's first frames compare against nothing
    std::vector<double> periods(df.size(), 0.0), tempi, tracked;
    TempoTrackV2 tracker(float(s.rate), size_t(s.increment));
    tracker.calculateBeatPeriod(df, periods, tempi);
    tracker.calculateBeats(df, periods, tracked);

    // The beats within the sound (as frames of the detection function and as seconds).
    std::vector<long> frames;
    std::vector<double> times;
    for (double b : tracked) {
        const double t = b * frameSeconds - DetectorLag;
        if (t >= soundStart - frameSeconds && t <= soundEnd) {
            frames.push_back(std::lround(b));
            times.push_back(t);
        }
    }
    if (times.size() < size_t(MinBeats))
        return {};
    const std::vector<double> index = numberBeats(times);
    const Line line = index.empty() ? Line{} : fitLine(times, index);
    if (line.period <= 0)
        return {};

    BeatGrid grid;
    grid.bpm = 60.0 / line.period;
    // The first downbeat from the first beat found on, and not before the file's start.
    long n = downbeatPhase(s.lows, frames, index, grid.beatsPerBar);
    while (line.origin + double(n) * line.period < std::max(0.0, times.front() - line.period / 2))
        n += grid.beatsPerBar;
    grid.firstDownbeat = line.origin + double(n) * line.period;
    // Beats off the line by a twentieth of a period are still steady; by 0.15, hardly any
    // better than beats placed on noise.
    const double fit = std::clamp((0.15 - line.spread) / 0.1, 0.0, 1.0);
    grid.confidence = fit * onsetEvidence(df, s.levels, frames);
    return grid;
}

} // namespace volaro::deck
