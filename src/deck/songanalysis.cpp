#include "deck/songanalysis.h"

#include "deck/beattracker.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <optional>
#include <vector>

namespace volaro::deck {
namespace {

struct EburDeleter {
    void operator()(ebur128_state* st) const { ebur128_destroy(&st); }
};

double toDb(double amplitude) {
    return amplitude > 0 ? std::clamp(20.0 * std::log10(amplitude), PeakFloor, PeakTop) : PeakFloor;
}

// Finds the first and last block above the silence threshold while frames stream by.
class SoundBounds {
public:
    SoundBounds(int rate, int channels)
        : m_blockFrames(std::max(1, rate / SilenceBlocksPerSecond))
        , m_channels(channels)
        , m_threshold(std::pow(10.0, SilenceThresholdDb / 10.0) * m_blockFrames * channels) {}

    // Also returns the largest magnitude seen, so that the samples are walked once.
    float add(const float* samples, long frames) {
        float peak = 0;
        for (long f = 0; f < frames; ++f) {
            double sum = 0;
            for (int c = 0; c < m_channels; ++c) {
                const float x = samples[f * m_channels + c];
                sum += double(x) * x;
                peak = std::max(peak, std::fabs(x));
            }
            m_sum += sum;
            if (++m_inBlock == m_blockFrames)
                closeBlock();
        }
        return peak;
    }

    void finish() {
        if (m_inBlock > 0) // the short last block is judged by its own mean
            closeBlock(double(m_blockFrames) / m_inBlock);
    }

    bool found() const { return m_first >= 0; }
    int64_t startFrame() const { return m_first * m_blockFrames; }
    int64_t endFrame(int64_t total) const { return std::min(total, (m_last + 1) * m_blockFrames); }

private:
    void closeBlock(double scale = 1.0) {
        if (m_sum * scale > m_threshold) {
            if (m_first < 0)
                m_first = m_block;
            m_last = m_block;
        }
        ++m_block;
        m_sum = 0;
        m_inBlock = 0;
    }

    const int m_blockFrames;
    const int m_channels;
    const double m_threshold; // sum of squares of a block at the threshold level
    double m_sum = 0;
    int m_inBlock = 0;
    int64_t m_block = 0;
    int64_t m_first = -1;
    int64_t m_last = -1;
};

} // namespace

SongAnalysis analyseSong(const QString& path, const std::atomic<bool>* stop) {
    return analyseSong(MediaBytes::openFile(path), stop);
}

SongAnalysis analyseSong(std::shared_ptr<const MediaBytes> bytes, const std::atomic<bool>* stop) {
    return analyseSong(std::move(bytes), stop, true);
}

SongAnalysis analyseSong(std::shared_ptr<const MediaBytes> bytes, const std::atomic<bool>* stop,
                         bool withBeats) {
    SongAnalysis result;
    if (!bytes)
        return result;
    const auto decoder = Decoder::open(std::move(bytes));
    if (!decoder)
        return result;
    const int rate = decoder->sampleRate(), channels = decoder->channels();
    std::unique_ptr<ebur128_state, EburDeleter> meter(ebur128_init(
        static_cast<unsigned>(channels), static_cast<unsigned long>(rate), EBUR128_MODE_I));
    if (!meter)
        return result;
    // A mono song plays on both speakers: it counts as loud as the same sound in stereo.
    if (channels == 1)
        ebur128_set_channel(meter.get(), 0, EBUR128_DUAL_MONO);

    constexpr long ChunkFrames = 8192;
    std::vector<float> buffer(static_cast<size_t>(ChunkFrames) * channels);
    SoundBounds bounds(rate, channels);
    std::optional<BeatTracker> beats;
    if (withBeats)
        beats.emplace(rate, channels);
    float peak = 0;
    int64_t frames = 0;
    for (long n; (n = decoder->read(buffer.data(), ChunkFrames)) > 0; frames += n) {
        if (stop && stop->load(std::memory_order_relaxed))
            return SongAnalysis{};
        if (ebur128_add_frames_float(meter.get(), buffer.data(), static_cast<size_t>(n)) !=
            EBUR128_SUCCESS)
            return SongAnalysis{};
        peak = std::max(peak, bounds.add(buffer.data(), n));
        if (beats)
            beats->add(buffer.data(), n);
    }
    if (frames == 0)
        return result;
    bounds.finish();

    double loudness = -HUGE_VAL;
    if (ebur128_loudness_global(meter.get(), &loudness) != EBUR128_SUCCESS ||
        !std::isfinite(loudness))
        loudness = LoudnessFloor;
    result.status = SongAnalysis::Status::Ok;
    result.loudness = std::clamp(loudness, LoudnessFloor, LoudnessTop);
    result.peak = toDb(peak);
    result.seconds = double(frames) / rate;
    result.soundStart = bounds.found() ? double(bounds.startFrame()) / rate : 0.0;
    result.soundEnd = bounds.found() ? double(bounds.endFrame(frames)) / rate : result.seconds;
    if (beats && bounds.found())
        result.beats = beats->finish(result.soundStart, result.soundEnd);
    return result;
}

int32_t levelGain(const SongAnalysis& song) {
    if (!song.ok() || song.loudness <= LoudnessFloor)
        return 0;
    double gain = TargetLoudness - song.loudness;
    if (gain > 0)
        gain = std::min(gain, std::max(0.0, PeakCeiling - song.peak));
    // Rounded down: the peak never ends up above the ceiling by the rounding.
    return static_cast<int32_t>(std::floor(gain * 100.0));
}

SongSpan songSpan(int32_t duration, int32_t cutFirst, int32_t cutLast) {
    const int64_t end = int64_t(duration) - cutLast;
    if (cutFirst >= end)
        return {0, duration};
    return {cutFirst, static_cast<int32_t>(end)};
}

SongSpan songSpan(int32_t duration, int32_t cutFirst, int32_t cutLast, const SongAnalysis& sound) {
    const SongSpan trims = songSpan(duration, cutFirst, cutLast);
    if (!sound.ok())
        return trims;
    const int64_t soundStart = static_cast<int64_t>(std::floor(sound.soundStart));
    const int64_t soundEnd = static_cast<int64_t>(std::floor(sound.soundEnd));
    const int64_t start = std::max<int64_t>(trims.start, soundStart);
    const int64_t end = std::min<int64_t>(trims.end, soundEnd);
    if (start >= end)
        return trims;
    return {static_cast<int32_t>(start), static_cast<int32_t>(end)};
}

// A place within a microsecond of a downbeat is on it.
double BeatGrid::downbeatAtOrBefore(double seconds) const {
    const double bars = std::floor((seconds - firstDownbeat) / barSeconds() + 1e-6);
    return firstDownbeat + bars * barSeconds();
}

double BeatGrid::downbeatAtOrAfter(double seconds) const {
    const double bars = std::ceil((seconds - firstDownbeat) / barSeconds() - 1e-6);
    return firstDownbeat + bars * barSeconds();
}

} // namespace volaro::deck
