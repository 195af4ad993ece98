#include "support/audiocapture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace volaro::capture {

QString DiskCapture::pathFromEnvironment() {
    const QString p = qEnvironmentVariable("SDL_DISKAUDIOFILE");
    return p.isEmpty() ? QStringLiteral("sdlaudio.raw") : p;
}

int64_t DiskCapture::frames() const {
    QFileInfo fi(m_path);
    return fi.exists() ? fi.size() / (static_cast<int64_t>(sizeof(float)) * Channels) : 0;
}

bool DiskCapture::waitFor(int64_t frame, int timeoutMs) const {
    for (const QDeadlineTimer deadline(timeoutMs); frames() < frame; QThread::msleep(5))
        if (deadline.hasExpired())
            return false;
    return true;
}

int64_t DiskCapture::advance(double seconds) const {
    const int64_t target = frames() + static_cast<int64_t>(seconds * Rate);
    waitFor(target, static_cast<int>(seconds * 1000) + 5000);
    return frames();
}

std::vector<float> DiskCapture::read(int64_t from, int64_t count) const {
    std::vector<float> out;
    QFile f(m_path);
    const int64_t frameBytes = static_cast<int64_t>(sizeof(float)) * Channels;
    if (from < 0 || count <= 0 || !f.open(QIODevice::ReadOnly) || !f.seek(from * frameBytes))
        return out;
    out.resize(static_cast<size_t>(count * Channels));
    const qint64 got = f.read(reinterpret_cast<char*>(out.data()), count * frameBytes);
    out.resize(got > 0 ? static_cast<size_t>(got / frameBytes * Channels) : 0);
    return out;
}

double rms(const std::vector<float>& samples, int channels, int channel) {
    const size_t frames = samples.size() / channels;
    double sum = 0;
    for (size_t i = 0; i < frames; ++i)
        sum += std::pow(samples[i * channels + channel], 2.0);
    return frames ? std::sqrt(sum / frames) : 0;
}

static double goertzel(const float* samples, size_t frames, int channels, int channel,
                       int sampleRate, double frequency) {
    if (frames == 0)
        return 0;
    const double w = 2.0 * M_PI * frequency / sampleRate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double s0 = samples[i * channels + channel] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(frames);
}

double toneAmplitude(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                     double frequency) {
    return goertzel(samples.data(), samples.size() / channels, channels, channel, sampleRate,
                    frequency);
}

double decibels(double a, double b) {
    return a <= 0 || b <= 0 ? -300 : 20.0 * std::log10(a / b);
}

double impurityDb(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                  double frequency) {
    // Fit a sin + b cos (+ c for any offset) by the normal equations, in double.
    const size_t n = samples.size() / channels;
    const double w = 2 * M_PI * frequency / sampleRate;
    double m[3][4] = {};
    for (size_t i = 0; i < n; ++i) {
        const double basis[3] = {std::sin(w * i), std::cos(w * i), 1.0};
        const double x = samples[i * channels + channel];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += basis[r] * basis[c];
            m[r][3] += basis[r] * x;
        }
    }
    for (int p = 0; p < 3; ++p) { // Gauss-Jordan; the matrix is well conditioned
        for (int r = 0; r < 3; ++r) {
            if (r == p)
                continue;
            const double f = m[r][p] / m[p][p];
            for (int c = p; c < 4; ++c)
                m[r][c] -= f * m[p][c];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
    double fit = 0, rest = 0;
    for (size_t i = 0; i < n; ++i) {
        const double y = a * std::sin(w * i) + b * std::cos(w * i) + c;
        const double e = samples[i * channels + channel] - y;
        fit += y * y;
        rest += e * e;
    }
    return fit > 0 ? decibels(std::sqrt(rest), std::sqrt(fit)) : 300; // silence: no tone
}

std::vector<double> toneOnsets(const std::vector<float>& samples, int channels, int channel,
                               int sampleRate, double frequency, double threshold) {
    // A Hann window keeps a neighbouring burst of another pitch out of the filter.
    constexpr size_t Window = 256, Hop = 32;
    const size_t frames = samples.size() / channels;
    std::vector<float> windowed(Window);
    std::vector<double> envelope; // the tone's amplitude every Hop frames
    for (size_t at = 0; at + Window <= frames; at += Hop) {
        for (size_t i = 0; i < Window; ++i)
            windowed[i] = static_cast<float>(samples[(at + i) * channels + channel] * 2 *
                                             std::pow(std::sin(M_PI * i / Window), 2));
        envelope.push_back(goertzel(windowed.data(), Window, 1, 0, sampleRate, frequency));
    }
    // A burst is where the envelope passes the threshold; it begins where it first reaches
    // half of its own peak, whatever its level (a fading song's bursts keep their place).
    const auto seconds = [&](size_t k) { return double(k * Hop + Window / 2) / sampleRate; };
    const size_t peakSpan = static_cast<size_t>(0.03 * sampleRate / Hop);
    std::vector<double> onsets;
    for (size_t k = 0; k < envelope.size(); ++k) {
        if (envelope[k] <= threshold || (!onsets.empty() && seconds(k) < onsets.back() + 0.2))
            continue;
        const size_t last = std::min(envelope.size(), k + peakSpan);
        const double peak = *std::max_element(envelope.begin() + k, envelope.begin() + last);
        size_t first = k;
        while (first > 0 && envelope[first - 1] >= peak / 2)
            --first;
        while (envelope[first] < peak / 2)
            ++first;
        onsets.push_back(seconds(first));
        k = last;
    }
    return onsets;
}

double largestStep(const std::vector<float>& samples, int channels, int channel) {
    double largest = 0;
    const size_t frames = samples.size() / channels;
    for (size_t i = 1; i < frames; ++i)
        largest = std::max(largest, std::abs(double(samples[i * channels + channel]) -
                                             samples[(i - 1) * channels + channel]));
    return largest;
}

int64_t toneStart(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                  double frequency, double amplitude, int window) {
    const size_t frames = samples.size() / channels;
    for (size_t at = 0; at + window <= frames; at += std::max(1, window / 4))
        if (goertzel(samples.data() + at * channels, window, channels, channel, sampleRate,
                     frequency) > amplitude)
            return static_cast<int64_t>(at);
    return -1;
}

int64_t toneEnd(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                double frequency, double amplitude, int window) {
    const size_t frames = samples.size() / channels;
    int64_t lastLoud = -1;
    for (size_t at = 0; at + window <= frames; at += std::max(1, window / 4))
        if (goertzel(samples.data() + at * channels, window, channels, channel, sampleRate,
                     frequency) > amplitude)
            lastLoud = static_cast<int64_t>(at + window);
    return lastLoud >= static_cast<int64_t>(frames) ? -1 : lastLoud;
}

} // namespace volaro::capture
