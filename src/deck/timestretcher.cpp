#include "deck/timestretcher.h"

#include <algorithm>
#include <rubberband/RubberBandStretcher.h>

namespace volaro::deck {

using RubberBand::RubberBandStretcher;

namespace {
constexpr size_t ChunkFrames = 1024;
}

TimeStretcher::TimeStretcher() = default;
TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::start(int sampleRate, double tempo) {
    m_rate = sampleRate;
    m_tempo = tempo;
    // The lighter engine, and no pitch path (the pitch never moves): about 4 % of a core
    // (bench_deckdecode), half what the consistent-pitch resampler costs. Onsets kept crisp.
    const auto options = RubberBandStretcher::OptionProcessRealTime |
                         RubberBandStretcher::OptionEngineFaster |
                         RubberBandStretcher::OptionTransientsCrisp;
    m_stretcher = std::make_unique<RubberBandStretcher>(static_cast<size_t>(sampleRate), 2, options,
                                                        1.0 / tempo, 1.0);
    m_stretcher->setMaxProcessSize(ChunkFrames);
    for (auto& channel : m_planar)
        channel.assign(ChunkFrames, 0.0f);
    m_final = false;
    // Silence ahead of the signal and its delay cut from the output: the timing stays.
    size_t pad = m_stretcher->getPreferredStartPad();
    std::fill(m_planar[0].begin(), m_planar[0].end(), 0.0f);
    std::fill(m_planar[1].begin(), m_planar[1].end(), 0.0f);
    while (pad > 0) {
        const size_t n = std::min(pad, ChunkFrames);
        const float* channels[2] = {m_planar[0].data(), m_planar[1].data()};
        m_stretcher->process(channels, n, false);
        pad -= n;
    }
    m_toDiscard = m_stretcher->getStartDelay();
}

void TimeStretcher::setTempo(double tempo) {
    if (tempo == m_tempo || !(tempo > 0))
        return;
    m_tempo = tempo;
    if (m_stretcher)
        m_stretcher->setTimeRatio(1.0 / tempo);
}

void TimeStretcher::feed(const float* in, size_t frames, bool final) {
    for (size_t i = 0; i < frames; ++i) {
        m_planar[0][i] = in[2 * i];
        m_planar[1][i] = in[2 * i + 1];
    }
    const float* channels[2] = {m_planar[0].data(), m_planar[1].data()};
    m_stretcher->process(channels, frames, final);
}

size_t TimeStretcher::take(float* out, size_t outFrames) {
    size_t written = 0;
    while (written < outFrames) {
        const int available = m_stretcher->available();
        if (available <= 0)
            break;
        const size_t n =
            std::min({static_cast<size_t>(available), outFrames - written, ChunkFrames});
        float* channels[2] = {m_planar[0].data(), m_planar[1].data()};
        const size_t got = m_stretcher->retrieve(channels, n);
        if (got == 0)
            break;
        const size_t dropped = std::min(got, m_toDiscard);
        m_toDiscard -= dropped;
        for (size_t i = dropped; i < got; ++i, ++written) {
            out[2 * written] = m_planar[0][i];
            out[2 * written + 1] = m_planar[1][i];
        }
    }
    return written;
}

size_t TimeStretcher::process(const float* in, size_t inFrames, size_t* consumed, float* out,
                              size_t outFrames) {
    *consumed = 0;
    size_t written = take(out, outFrames);
    while (written < outFrames && *consumed < inFrames) {
        const size_t want = std::clamp<size_t>(m_stretcher->getSamplesRequired(), 1, ChunkFrames);
        const size_t n = std::min(want, inFrames - *consumed);
        feed(in + *consumed * 2, n, false);
        *consumed += n;
        written += take(out + written * 2, outFrames - written);
    }
    return written;
}

size_t TimeStretcher::drain(float* out, size_t outFrames) {
    if (!m_final) {
        m_final = true;
        feed(nullptr, 0, true);
    }
    return take(out, outFrames);
}

} // namespace volaro::deck
