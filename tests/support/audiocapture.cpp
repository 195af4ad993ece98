#include "audiocapture.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#include <chrono>
#include <cmath>
#include <thread>

namespace volaro::capture {

DiskCapture::DiskCapture(QString path, int channels, int sampleRate)
    : m_path(std::move(path))
    , m_channels(channels)
    , m_rate(sampleRate) {}

QString DiskCapture::pathFromEnvironment() {
    const QString p = qEnvironmentVariable("SDL_DISKAUDIOFILE");
    return p.isEmpty() ? QStringLiteral("sdlaudio.raw") : p;
}

int64_t DiskCapture::frames() const {
    QFileInfo fi(m_path);
    return fi.exists() ? fi.size() / (static_cast<int64_t>(sizeof(float)) * m_channels) : 0;
}

bool DiskCapture::waitFor(int64_t frame, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (frames() < frame) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int64_t DiskCapture::advance(double seconds) const {
    const int64_t target = frames() + static_cast<int64_t>(seconds * m_rate);
    waitFor(target, static_cast<int>(seconds * 1000) + 5000);
    return frames();
}

std::vector<float> DiskCapture::read(int64_t from, int64_t count) const {
    std::vector<float> out;
    QFile f(m_path);
    if (from < 0 || count <= 0 || !f.open(QIODevice::ReadOnly))
        return out;
    const int64_t frameBytes = static_cast<int64_t>(sizeof(float)) * m_channels;
    if (!f.seek(from * frameBytes))
        return out;
    out.resize(static_cast<size_t>(count * m_channels));
    const qint64 got = f.read(reinterpret_cast<char*>(out.data()), count * frameBytes);
    out.resize(got > 0 ? static_cast<size_t>(got / frameBytes * m_channels) : 0);
    return out;
}

double rms(const std::vector<float>& samples, int channels, int channel) {
    const size_t frames = samples.size() / channels;
    if (frames == 0)
        return 0;
    double sum = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double v = samples[i * channels + channel];
        sum += v * v;
    }
    return std::sqrt(sum / frames);
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
    if (a <= 0 || b <= 0)
        return -300;
    return 20.0 * std::log10(a / b);
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
    const size_t hop = std::max(1, window / 4);
    for (size_t at = 0; at + window <= frames; at += hop) {
        if (goertzel(samples.data() + at * channels, window, channels, channel, sampleRate,
                     frequency) > amplitude)
            return static_cast<int64_t>(at);
    }
    return -1;
}

int64_t toneEnd(const std::vector<float>& samples, int channels, int channel, int sampleRate,
                double frequency, double amplitude, int window) {
    const size_t frames = samples.size() / channels;
    const size_t hop = std::max(1, window / 4);
    int64_t lastLoud = -1;
    for (size_t at = 0; at + window <= frames; at += hop) {
        if (goertzel(samples.data() + at * channels, window, channels, channel, sampleRate,
                     frequency) > amplitude)
            lastLoud = static_cast<int64_t>(at + window);
    }
    if (lastLoud < 0 || lastLoud >= static_cast<int64_t>(frames))
        return -1;
    return lastLoud;
}

} // namespace volaro::capture
