#pragma once

// What SDL's "disk" audio driver writes in real time to SDL_DISKAUDIOFILE, and measures of
// the levels, tones and silences in the frames that followed an action.

#include <QString>
#include <cstdint>
#include <vector>

namespace volaro::capture {

// The capture file as float32 stereo frames at 44.1 kHz.
class DiskCapture {
public:
    explicit DiskCapture(QString path)
        : m_path(std::move(path)) {}

    static QString pathFromEnvironment(); // SDL_DISKAUDIOFILE of this process

    int64_t frames() const; // written so far
    // Waits until the file holds at least `frame` frames; false on timeout.
    bool waitFor(int64_t frame, int timeoutMs = 10000) const;
    // Waits for `seconds` more of output after now and returns the frame count then.
    int64_t advance(double seconds) const;
    // Interleaved samples of [from, from + count); shorter when the file is.
    std::vector<float> read(int64_t from, int64_t count) const;

private:
    QString m_path;
    static constexpr int Channels = 2, Rate = 44100; // as the player opens its outputs
};

double rms(const std::vector<float>& samples, int channels, int channel); // of one channel
// Amplitude (peak of the sine) of the frequency in one channel, by the Goertzel filter.
double toneAmplitude(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                     double frequency);
// 20 log10(a / b); -inf-safe (returns -300 for silence).
double decibels(double a, double b);
// Everything in one channel that is not the sine of `frequency` (noise, spurs, jumps),
// relative to that sine, in dB: the residual of a least-squares fit of the sine.
double impurityDb(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                  double frequency);
// Where bursts of the tone begin in one channel (seconds from the first sample, to about
// 2 ms): rises of its amplitude through `threshold`, at least 0.2 s apart.
std::vector<double> toneOnsets(const std::vector<float>& samples, int channels, int channel,
                               int sampleRate, double frequency, double threshold);
// Largest sample step between neighbours in one channel (a click shows as a big step).
double largestStep(const std::vector<float>& samples, int channels, int channel);

// First frame whose window (advanced by window / 4) holds the tone above `amplitude`, or -1.
int64_t toneStart(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                  double frequency, double amplitude, int window = 1024);
// First frame after which the tone stays below `amplitude` to the end; -1 if it never stops.
int64_t toneEnd(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                double frequency, double amplitude, int window = 1024);

} // namespace volaro::capture
