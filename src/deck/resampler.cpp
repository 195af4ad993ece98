#include "deck/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <soxr.h>

namespace volaro::deck {

Resampler::~Resampler() {
    if (m_soxr)
        soxr_delete(m_soxr);
}

bool Resampler::configure(double inRate, double outRate) {
    if (m_soxr) {
        soxr_delete(m_soxr);
        m_soxr = nullptr;
    }
    m_configured = false;
    if (!(inRate > 0) || !(outRate > 0) || !std::isfinite(inRate) || !std::isfinite(outRate))
        return false;
    m_inRate = inRate;
    m_outRate = outRate;
    if (inRate != outRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        m_soxr = soxr_create(inRate, outRate, 2, &error, &io, &quality, nullptr);
        if (!m_soxr || error)
            return false;
    }
    m_configured = true;
    return true;
}

void Resampler::reset() {
    if (m_soxr)
        soxr_clear(m_soxr);
}

size_t Resampler::process(const float* in, size_t inFrames, size_t* consumed, float* out,
                          size_t outFrames) {
    if (!m_soxr) {
        const size_t n = std::min(inFrames, outFrames);
        std::memcpy(out, in, n * 2 * sizeof(float));
        *consumed = n;
        return n;
    }
    size_t done = 0;
    *consumed = 0;
    // Input of length 0 is not the end of the input for soxr; only a null buffer is.
    if (soxr_process(m_soxr, in, inFrames, consumed, out, outFrames, &done) != nullptr)
        return 0;
    return done;
}

size_t Resampler::drain(float* out, size_t outFrames) {
    if (!m_soxr)
        return 0;
    size_t done = 0;
    if (soxr_process(m_soxr, nullptr, 0, nullptr, out, outFrames, &done) != nullptr)
        return 0;
    return done;
}

} // namespace volaro::deck
