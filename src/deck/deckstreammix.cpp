// DeckStream's side in the device callback: mixing what the worker decoded into the output,
// with the gains, the balance and the fades that keep every change free of clicks.

#include "deck/deckstream.h"

#include <algorithm>
#include <cmath>

namespace volaro::deck {
namespace {

constexpr double RampSeconds = 0.005; // a full-scale gain change takes this long

} // namespace

float DeckStream::nextSongGain() {
    if (m_songGain != m_songGainGoal) {
        m_songGain *= m_songGainStep;
        if ((m_songGainStep > 1.0f) == (m_songGain > m_songGainGoal))
            m_songGain = m_songGainGoal;
    }
    return m_songGain;
}

void DeckStream::publishHeard(const Heard& h) {
    const uint32_t s = m_heardSequence.load(std::memory_order_relaxed);
    m_heardSequence.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_heardGeneration.store(h.generation, std::memory_order_relaxed);
    m_heardSeconds.store(h.seconds, std::memory_order_relaxed);
    m_heardFrame.store(h.frame, std::memory_order_relaxed);
    m_heardPerFrame.store(h.perFrame, std::memory_order_relaxed);
    m_heardSegment.store(h.segment, std::memory_order_relaxed);
    m_heardTicks.store(h.ticks, std::memory_order_relaxed);
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

void DeckStream::mixInto(float* out, int frames, uint64_t nowTicks, int64_t firstFrame) {
    const uint32_t generation = m_requestedGeneration.load(std::memory_order_acquire);
    const bool playing = m_playing.load(std::memory_order_acquire);
    // A start set for a later frame: nothing yet, or from that frame on.
    if (playing && !m_sounding) {
        const int64_t startAt = m_startFrame.load(std::memory_order_acquire);
        if (startAt >= firstFrame + frames)
            return;
        if (startAt > firstFrame) {
            const int skip = static_cast<int>(startAt - firstFrame);
            out += static_cast<size_t>(skip) * 2;
            frames -= skip;
            firstFrame = startAt;
        }
    }
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
    Heard heard{generation};
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
        heard.seconds = m_current->startSeconds + m_currentOffset * m_current->secondsPerFrame;
        heard.perFrame = m_current->secondsPerFrame;
        heard.segment = m_current->segment;
        heard.frame = firstFrame + done;
        if (m_currentOffset >= m_current->frames) {
            m_free.push(m_current);
            m_current = nullptr;
        }
    }
    // Sounding until a fade-out has reached silence (or ran out of sound).
    m_sounding = playing || (fadingOut && done == frames && (m_gainLeft > 0 || m_gainRight > 0));
    if (mixed) {
        heard.ticks = nowTicks;
        publishHeard(heard);
    }
}

} // namespace volaro::deck
