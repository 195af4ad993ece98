#include "deck/deckstream.h"

#include "deck/channelmix.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>

namespace volaro::deck {
namespace {

constexpr long DecodeChunkFrames = 1152;
constexpr int32_t MaxSongGain = 2400; // hundredths of a dB either way
constexpr double RampSeconds = 0.005; // a full-scale gain change takes this long

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
    return static_cast<int>(m_heardSegment.load(std::memory_order_acquire));
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

double DeckStream::heardSeconds() const {
    uint32_t generation = 0;
    double seconds = 0;
    uint64_t ticks = 0;
    for (;;) {
        const uint32_t before = m_heardSequence.load(std::memory_order_acquire);
        if (before & 1u)
            continue;
        generation = m_heardGeneration.load(std::memory_order_relaxed);
        seconds = m_heardSeconds.load(std::memory_order_relaxed);
        ticks = m_heardTicks.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (m_heardSequence.load(std::memory_order_relaxed) == before)
            break;
    }
    // A seek the callback has not played from yet: report where it goes.
    if (generation != m_requestedGeneration.load(std::memory_order_acquire))
        return m_seekTarget.load(std::memory_order_relaxed);
    // seconds is the end of what was last handed to the device, which plays it out over
    // one period; take off what it has not played yet.
    const int deviceRate = m_deviceRate.load(std::memory_order_relaxed);
    const double elapsedFrames = static_cast<double>(SDL_GetPerformanceCounter() - ticks) /
                                 static_cast<double>(SDL_GetPerformanceFrequency()) * deviceRate;
    const double pending =
        std::max(0.0, m_periodFrames.load(std::memory_order_relaxed) - elapsedFrames);
    const double perFrame = m_rate.load(std::memory_order_relaxed) / deviceRate;
    return std::max(0.0, seconds - pending * perFrame);
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
        if (m_stereoUsed < m_stereoFrames) {
            size_t used = 0;
            have += m_resampler.process(m_stereoBuffer.data() + m_stereoUsed * 2,
                                        m_stereoFrames - m_stereoUsed, &used, out + have * 2,
                                        want - have);
            m_stereoUsed += used;
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

bool DeckStream::beginQueued() {
    Decoder* next = m_queued.exchange(nullptr, std::memory_order_acq_rel);
    if (!next)
        return false;
    m_decoder.reset(next);
    ++m_workSegment;
    m_sourceChannels = m_decoder->channels();
    if (m_decoder->sampleRate() != m_sourceRate) {
        // Another rate (rare within an album) needs a resampler of its own.
        m_sourceRate = m_decoder->sampleRate();
        m_resampler.configure(m_sourceRate * m_rate.load(std::memory_order_relaxed),
                              m_deviceRate.load(std::memory_order_relaxed));
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
        m_producedSeconds = target;
        m_workGeneration = generation;
        m_decoderDrained = false;
        m_ended = false;
        worked = true;
    }
    // A song queued after this one had ended (too late for a seamless join) still plays.
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
    const double perFrame = rate / deviceRate;
    // A few blocks per visit so that one deck cannot starve the other.
    for (int budget = 4; budget > 0 && !m_ended; --budget) {
        Block* b = takeFreeBlock();
        if (!b) {
            m_refilling = false; // all full again
            break;
        }
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

// ---- device callback ------------------------------------------------------------------

float DeckStream::nextSongGain() {
    if (m_songGain != m_songGainGoal) {
        m_songGain *= m_songGainStep;
        if ((m_songGainStep > 1.0f) == (m_songGain > m_songGainGoal))
            m_songGain = m_songGainGoal;
    }
    return m_songGain;
}

void DeckStream::publishHeard(uint32_t generation, double seconds, uint32_t segment,
                              uint64_t ticks) {
    const uint32_t s = m_heardSequence.load(std::memory_order_relaxed);
    m_heardSequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_heardGeneration.store(generation, std::memory_order_relaxed);
    m_heardSeconds.store(seconds, std::memory_order_relaxed);
    m_heardTicks.store(ticks, std::memory_order_relaxed);
    m_heardSegment.store(segment, std::memory_order_relaxed);
    m_heardSequence.store(s + 2, std::memory_order_release);
}

int DeckStream::fadeOutStale(float* out, int frames, float step) {
    // After a seek the sound that was playing fades out over one ramp, so that the jump
    // to the new place does not click; the new sound then fades in from silence.
    const int n = std::min(frames, m_current->frames - m_currentOffset);
    const float* in = m_current->samples + static_cast<size_t>(m_currentOffset) * 2;
    int i = 0;
    for (; i < n && (m_gainLeft > 0 || m_gainRight > 0); ++i) {
        m_gainLeft = std::max(0.0f, m_gainLeft - step);
        m_gainRight = std::max(0.0f, m_gainRight - step);
        out[2 * i] += in[2 * i] * m_gainLeft * m_songGain;
        out[2 * i + 1] += in[2 * i + 1] * m_gainRight * m_songGain;
    }
    m_gainLeft = 0.0f;
    m_gainRight = 0.0f;
    m_free.push(m_current);
    m_current = nullptr;
    return i;
}

void DeckStream::mixInto(float* out, int frames, uint64_t nowTicks) {
    const uint32_t generation = m_requestedGeneration.load(std::memory_order_acquire);
    const bool playing = m_playing.load(std::memory_order_acquire);
    // A pause fades out over the ramp instead of cutting the wave; a start fades in.
    const bool fadingOut = !playing && m_sounding;
    if (playing && !m_sounding) {
        m_gainLeft = 0.0f;
        m_gainRight = 0.0f;
    }
    const float targetLeft = playing ? m_targetLeft.load(std::memory_order_relaxed) : 0.0f;
    const float targetRight = playing ? m_targetRight.load(std::memory_order_relaxed) : 0.0f;
    const int deviceRate = m_deviceRate.load(std::memory_order_relaxed);
    const float step = static_cast<float>(1.0 / (RampSeconds * deviceRate));
    const float songTarget = m_songGainTarget.load(std::memory_order_relaxed);
    if (m_songGainSnap.exchange(false, std::memory_order_acquire)) {
        m_songGain = m_songGainGoal = songTarget;
    } else if (songTarget != m_songGainGoal) {
        // A whole glide lasts the same time, however far it goes: a constant factor per
        // frame is a straight line in decibels.
        m_songGainGoal = songTarget;
        m_songGainStep = static_cast<float>(
            std::pow(double(songTarget) / m_songGain, 1.0 / (SongGainGlideSeconds * deviceRate)));
        if (m_songGainStep == 1.0f) // too close to glide
            m_songGain = songTarget;
    }
    if (fadingOut) // at most one ramp's worth
        frames = std::min(frames, static_cast<int>(RampSeconds * deviceRate) + 1);

    int done = 0;
    if (generation != m_mixedGeneration && m_sounding && playing) {
        if (!m_current && m_filled.pop(m_current))
            m_currentOffset = 0;
        if (m_current && m_current->generation != generation)
            done = fadeOutStale(out, frames, step);
        m_gainLeft = 0.0f; // the new place fades in
        m_gainRight = 0.0f;
        m_mixedGeneration = generation;
    }

    bool mixed = false;
    double heard = 0;
    uint32_t heardSegment = 0;
    while (done < frames) {
        if (m_current && m_current->generation != generation) {
            m_free.push(m_current);
            m_current = nullptr;
        }
        if (!m_current) {
            Block* b = nullptr;
            if (!m_filled.pop(b))
                break;
            if (b->generation != generation) {
                m_free.push(b); // from before a seek: never heard
                continue;
            }
            m_current = b;
            m_currentOffset = 0;
        }
        if (!playing && !fadingOut)
            break;
        const int n = std::min(frames - done, m_current->frames - m_currentOffset);
        const float* in = m_current->samples + static_cast<size_t>(m_currentOffset) * 2;
        float* o = out + static_cast<size_t>(done) * 2;
        if (m_gainLeft == targetLeft && m_gainRight == targetRight &&
            m_songGain == m_songGainGoal) {
            // Nothing moves (nearly always): one gain per side, a loop the compiler
            // vectorises.
            const float left = m_gainLeft * m_songGain, right = m_gainRight * m_songGain;
            for (int i = 0; i < n; ++i) {
                o[2 * i] += in[2 * i] * left;
                o[2 * i + 1] += in[2 * i + 1] * right;
            }
        } else {
            for (int i = 0; i < n; ++i) {
                // Move each gain toward its target at a bounded slope: no clicks on steps.
                m_gainLeft += std::clamp(targetLeft - m_gainLeft, -step, step);
                m_gainRight += std::clamp(targetRight - m_gainRight, -step, step);
                const float song = nextSongGain();
                o[2 * i] += in[2 * i] * m_gainLeft * song;
                o[2 * i + 1] += in[2 * i + 1] * m_gainRight * song;
            }
        }
        m_currentOffset += n;
        done += n;
        mixed = true;
        m_mixedGeneration = generation;
        heard = m_current->startSeconds + m_currentOffset * m_current->secondsPerFrame;
        heardSegment = m_current->segment;
        if (m_currentOffset >= m_current->frames) {
            m_free.push(m_current);
            m_current = nullptr;
        }
    }
    // Sounding until a fade-out has reached silence (or ran out of sound).
    m_sounding = playing || (fadingOut && done == frames && (m_gainLeft > 0 || m_gainRight > 0));
    if (mixed)
        publishHeard(generation, heard, heardSegment, nowTicks);
}

} // namespace volaro::deck
