#include "deck/deckstream.h"

#include "deck/channelmix.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>

namespace volaro::deck {
namespace {

constexpr long DecodeChunkFrames = 1152;
constexpr size_t StretchChunkFrames = 1024;
constexpr int32_t MaxSongGain = 2400; // hundredths of a dB either way

} // namespace

DeckStream::DeckStream(std::unique_ptr<Decoder> decoder, int deviceRate, int periodFrames)
    : m_deviceRate(deviceRate)
    , m_periodFrames(periodFrames)
    , m_lengthSeconds(decoder->seconds())
    , m_firstRate(decoder->sampleRate())
    , m_storage(new float[static_cast<size_t>(BlockFrames) * 2 * BlockCount])
    , m_decoder(std::move(decoder))
    , m_sourceRate(m_decoder->sampleRate())
    , m_sourceChannels(m_decoder->channels()) {
    m_segmentSeconds[0].store(m_lengthSeconds, std::memory_order_relaxed);
    for (int i = 0; i < BlockCount; ++i) {
        m_blocks[i].samples = m_storage.get() + static_cast<size_t>(i) * BlockFrames * 2;
        m_free.push(&m_blocks[i]);
    }
}

DeckStream::~DeckStream() {
    delete m_queued.exchange(nullptr);
}

// ---- GUI thread -----------------------------------------------------------------------

void DeckStream::setPlaying(bool playing) {
    if (playing)
        m_active.store(true, std::memory_order_relaxed);
    m_playing.store(playing, std::memory_order_release);
}

void DeckStream::queueNext(std::unique_ptr<Decoder> next) {
    // A song queued before and not begun is replaced: it keeps its number.
    if (Decoder* old = m_queued.exchange(nullptr, std::memory_order_acq_rel))
        delete old;
    else
        ++m_segmentsQueued;
    m_segmentSeconds[m_segmentsQueued % m_segmentSeconds.size()].store(next->seconds(),
                                                                       std::memory_order_relaxed);
    m_queued.store(next.release(), std::memory_order_release);
}

bool DeckStream::cancelNext() {
    Decoder* queued = m_queued.exchange(nullptr, std::memory_order_acq_rel);
    if (!queued)
        return false;
    delete queued;
    --m_segmentsQueued;
    return true;
}

int DeckStream::heardSegment() const {
    return static_cast<int>(lastHeard().segment);
}

std::unique_ptr<Decoder> DeckStream::takeDecoder() {
    // The worker touches the decoder only once the stream has played.
    if (m_active.load(std::memory_order_relaxed))
        return nullptr;
    return std::move(m_decoder);
}

void DeckStream::seek(double seconds) {
    if (!(seconds >= 0)) // also NaN
        seconds = 0;
    const auto segment = static_cast<size_t>(heardSegment()) % m_segmentSeconds.size();
    seconds = std::min(seconds, m_segmentSeconds[segment].load(std::memory_order_relaxed));
    m_seekTarget.store(seconds, std::memory_order_relaxed);
    m_requestedGeneration.fetch_add(1, std::memory_order_release);
}

DeckStream::Heard DeckStream::lastHeard() const {
    Heard h;
    for (;;) {
        const uint32_t before = m_heardSequence.load(std::memory_order_acquire);
        if (before & 1u)
            continue;
        h.generation = m_heardGeneration.load(std::memory_order_relaxed);
        h.seconds = m_heardSeconds.load(std::memory_order_relaxed);
        h.frame = m_heardFrame.load(std::memory_order_relaxed);
        h.perFrame = m_heardPerFrame.load(std::memory_order_relaxed);
        h.segment = m_heardSegment.load(std::memory_order_relaxed);
        h.ticks = m_heardTicks.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_heardSequence.load(std::memory_order_relaxed) == before)
            return h;
    }
}

double DeckStream::heardSeconds() const {
    const Heard h = lastHeard();
    // A seek the callback has not played from yet: report where it goes.
    if (h.generation != m_requestedGeneration.load(std::memory_order_acquire))
        return m_seekTarget.load(std::memory_order_relaxed);
    // seconds is the end of what was last handed to the device, which plays it out over
    // one period; take off what it has not played yet.
    const int deviceRate = m_deviceRate.load(std::memory_order_relaxed);
    const double elapsedFrames = static_cast<double>(SDL_GetPerformanceCounter() - h.ticks) /
                                 static_cast<double>(SDL_GetPerformanceFrequency()) * deviceRate;
    const double pending =
        std::max(0.0, m_periodFrames.load(std::memory_order_relaxed) - elapsedFrames);
    const double perFrame =
        h.perFrame > 0 ? h.perFrame : m_rate.load(std::memory_order_relaxed) / deviceRate;
    return std::max(0.0, h.seconds - pending * perFrame);
}

int64_t DeckStream::frameOf(double seconds) const {
    const Heard h = lastHeard();
    if (h.frame < 0 || h.perFrame <= 0 ||
        h.generation != m_requestedGeneration.load(std::memory_order_acquire))
        return -1;
    return h.frame + std::llround((seconds - h.seconds) / h.perFrame);
}

void DeckStream::setTempo(double tempo, double glideSeconds) {
    if (!(tempo > 0.25 && tempo < 4.0))
        return;
    m_tempoTarget.store(tempo, std::memory_order_relaxed);
    m_tempoGlide.store(std::max(0.0, glideSeconds), std::memory_order_relaxed);
    m_tempoRequest.fetch_add(1, std::memory_order_release);
}

void DeckStream::startAtFrame(int64_t frame) {
    m_startFrame.store(frame, std::memory_order_release);
}

float DeckStream::gainOf(int32_t hundredthsDb) {
    if (hundredthsDb <= -10000)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, std::min(hundredthsDb, 0) / 2000.0));
}

void DeckStream::setVolume(int32_t hundredthsDb) {
    m_volume.store(hundredthsDb, std::memory_order_relaxed);
    updateGains();
}

void DeckStream::setBalance(int32_t balance) {
    m_balance.store(balance, std::memory_order_relaxed);
    updateGains();
}

void DeckStream::setSongGain(int32_t hundredthsDb, bool glide) {
    const int32_t db = std::clamp(hundredthsDb, -MaxSongGain, MaxSongGain);
    m_songGainTarget.store(static_cast<float>(std::pow(10.0, db / 2000.0)),
                           std::memory_order_relaxed);
    m_songGainSnap.store(!glide, std::memory_order_release);
}

void DeckStream::updateGains() {
    const int32_t balance = m_balance.load(std::memory_order_relaxed);
    const float level = gainOf(m_volume.load(std::memory_order_relaxed));
    m_targetLeft.store(level * (balance > 0 ? gainOf(-balance) : 1.0f), std::memory_order_relaxed);
    m_targetRight.store(level * (balance < 0 ? gainOf(balance) : 1.0f), std::memory_order_relaxed);
}

bool DeckStream::setRate(double rate) {
    const double sourceRate = m_firstRate * rate;
    if (!(rate > 0) || !std::isfinite(rate) || sourceRate < 1000 || sourceRate > 4'000'000)
        return false;
    m_rate.store(rate, std::memory_order_relaxed);
    return true;
}

void DeckStream::moveTo(int deviceRate, int periodFrames) {
    const double at = heardSeconds();
    m_deviceRate.store(deviceRate, std::memory_order_relaxed);
    m_periodFrames.store(periodFrames, std::memory_order_relaxed);
    m_startFrame.store(-1, std::memory_order_relaxed); // frames of another device
    // A seek drops what was decoded for the old device; the worker, seeing the new
    // generation, converts for the new rate from there.
    seek(at);
}

// ---- worker thread --------------------------------------------------------------------

DeckStream::Block* DeckStream::takeFreeBlock() {
    Block* b = nullptr;
    if (m_spare) {
        b = m_spare;
        m_spare = nullptr;
    } else if (!m_free.pop(b)) {
        return nullptr;
    }
    return b;
}

int DeckStream::fill(float* out, int frames) {
    size_t have = 0;
    const size_t want = static_cast<size_t>(frames);
    while (have < want) {
        // What is ready for the resampler: the decoded frames, or what the stretcher made
        // of them while it runs.
        const bool stretching = m_stretcher.started();
        std::vector<float>& ready = stretching ? m_stretched : m_stereoBuffer;
        size_t& readyUsed = stretching ? m_stretchedUsed : m_stereoUsed;
        const size_t readyFrames = (stretching ? m_stretchedFrames : m_stereoFrames) - readyUsed;
        if (readyFrames > 0) {
            size_t used = 0;
            have += m_resampler.process(ready.data() + readyUsed * 2, readyFrames, &used,
                                        out + have * 2, want - have);
            readyUsed += used;
            continue;
        }
        if (stretching) {
            m_stretched.resize(StretchChunkFrames * 2);
            size_t used = 0;
            const size_t got = m_decoderDrained && m_stereoUsed >= m_stereoFrames
                                   ? m_stretcher.drain(m_stretched.data(), StretchChunkFrames)
                                   : m_stretcher.process(m_stereoBuffer.data() + m_stereoUsed * 2,
                                                         m_stereoFrames - m_stereoUsed, &used,
                                                         m_stretched.data(), StretchChunkFrames);
            m_stereoUsed += used;
            m_stretchedFrames = got;
            m_stretchedUsed = 0;
            if (got > 0 || used > 0)
                continue;
        }
        if (m_decoderDrained) {
            const size_t got = m_resampler.drain(out + have * 2, want - have);
            if (got == 0)
                break;
            have += got;
            continue;
        }
        if (!m_decoder)
            break;
        const size_t channels = static_cast<size_t>(m_sourceChannels);
        m_stereoBuffer.resize(DecodeChunkFrames * 2);
        // Stereo decodes straight to where it is resampled from.
        std::vector<float>& decoded = channels == 2 ? m_stereoBuffer : m_decodeBuffer;
        decoded.resize(DecodeChunkFrames * channels);
        const long got = m_decoder->read(decoded.data(), DecodeChunkFrames);
        if (got <= 0) {
            // A queued song goes on from here, through the same resampler: no seam.
            if (beginQueued())
                m_switchFrame = static_cast<int>(have);
            else
                m_decoderDrained = true;
            continue;
        }
        if (channels != 2) // stereo was decoded straight into m_stereoBuffer
            foldToStereo(m_decodeBuffer.data(), got, m_decoder->layout(), m_stereoBuffer.data());
        m_stereoFrames = static_cast<size_t>(got);
        m_stereoUsed = 0;
    }
    return static_cast<int>(have);
}

void DeckStream::followTempo() {
    const uint32_t request = m_tempoRequest.load(std::memory_order_acquire);
    if (request != m_tempoSeen) {
        m_tempoSeen = request;
        const double target = m_tempoTarget.load(std::memory_order_relaxed);
        const double glide = m_tempoGlide.load(std::memory_order_relaxed);
        m_tempoGoal = target;
        if (!m_stretcher.started()) {
            // From here on every frame goes through the stretcher.
            m_tempoNow = target;
            m_stretcher.start(m_sourceRate, target);
        } else if (glide <= 0) {
            m_tempoNow = target;
        }
        const double blocks =
            std::max(1.0, glide * m_deviceRate.load(std::memory_order_relaxed) / BlockFrames);
        m_tempoStep = (m_tempoGoal - m_tempoNow) / blocks;
    }
    if (m_tempoNow != m_tempoGoal) {
        m_tempoNow += m_tempoStep;
        if ((m_tempoStep > 0) == (m_tempoNow > m_tempoGoal))
            m_tempoNow = m_tempoGoal;
    }
    if (m_stretcher.started())
        m_stretcher.setTempo(m_tempoNow);
}

bool DeckStream::beginQueued() {
    Decoder* next = m_queued.exchange(nullptr, std::memory_order_acq_rel);
    if (!next)
        return false;
    m_decoder.reset(next);
    ++m_workSegment;
    m_sourceChannels = m_decoder->channels();
    if (m_decoder->sampleRate() != m_sourceRate) {
        // Another rate (rare within an album) needs a resampler (and stretcher) of its own.
        m_sourceRate = m_decoder->sampleRate();
        m_resampler.configure(m_sourceRate * m_rate.load(std::memory_order_relaxed),
                              m_deviceRate.load(std::memory_order_relaxed));
        if (m_stretcher.started())
            m_stretcher.start(m_sourceRate, m_tempoNow);
    }
    m_stereoFrames = m_stereoUsed = 0;
    return true;
}

bool DeckStream::produce() {
    if (!m_active.load(std::memory_order_relaxed))
        return false;
    bool worked = false;
    const uint32_t generation = m_requestedGeneration.load(std::memory_order_acquire);
    const double rate = m_rate.load(std::memory_order_relaxed);
    const int deviceRate = m_deviceRate.load(std::memory_order_relaxed);
    const double inRate = m_sourceRate * rate;
    if (!m_resampler.configured() || inRate != m_resampler.inRate() ||
        deviceRate != m_resampler.outRate()) {
        if (!m_resampler.configure(inRate, deviceRate)) {
            m_ended = true;
            return false;
        }
        worked = true;
    }
    if (generation != m_workGeneration) {
        const double target = m_seekTarget.load(std::memory_order_relaxed);
        const auto frame = static_cast<int64_t>(std::llround(target * m_sourceRate));
        if (m_decoder)
            m_decoder->seek(std::clamp<int64_t>(frame, 0, m_decoder->lengthFrames()));
        m_resampler.reset();
        m_stereoFrames = m_stereoUsed = 0;
        m_stretchedFrames = m_stretchedUsed = 0;
        if (m_stretcher.started())
            m_stretcher.start(m_sourceRate, m_tempoNow);
        m_producedSeconds = target;
        m_workGeneration = generation;
        m_decoderDrained = false;
        m_ended = false;
        worked = true;
    }
    // A song queued after this one had ended (too late for a seamless join) still plays.
    if (m_tempoRequest.load(std::memory_order_relaxed) != m_tempoSeen)
        worked = true; // the stretcher starts with the next block
    if (m_ended && m_decoderDrained && beginQueued()) {
        m_resampler.reset(); // it was told the input had ended
        m_ended = m_decoderDrained = false;
        m_blockSegment = m_workSegment;
        m_producedSeconds = 0;
        worked = true;
    }
    // Refill in bursts once half the blocks are free: one warm run of the decoder every
    // 140 ms or so costs less than a cold one at every wake-up.
    if (!worked && !m_refilling) {
        if (m_free.size() + (m_spare ? 1 : 0) < BlockCount / 2)
            return false;
        m_refilling = true;
    }
    // A few blocks per visit so that one deck cannot starve the other.
    for (int budget = 4; budget > 0 && !m_ended; --budget) {
        Block* b = takeFreeBlock();
        if (!b) {
            m_refilling = false; // all full again
            break;
        }
        followTempo();
        const double perFrame = rate * m_tempoNow / deviceRate;
        const int got = fill(b->samples, BlockFrames);
        if (got < BlockFrames)
            m_ended = true;
        if (got == 0) {
            m_spare = b;
            break;
        }
        b->frames = got;
        b->generation = m_workGeneration;
        b->startSeconds = m_producedSeconds;
        b->secondsPerFrame = perFrame;
        b->segment = m_blockSegment;
        m_producedSeconds += got * perFrame;
        if (m_switchFrame >= 0) { // the next segment is heard from the next block on
            m_producedSeconds = (got - m_switchFrame) * perFrame;
            m_blockSegment = m_workSegment;
            m_switchFrame = -1;
        }
        m_filled.push(b); // cannot fail: there are fewer blocks than places
        worked = true;
    }
    return worked;
}

} // namespace volaro::deck
