// PlaybackEngine, continued: Match Beats. When both songs have a confident beat grid, the
// transition starts on a downbeat of the outgoing song, the incoming song comes in on its
// own first downbeat at that very output frame (the mixer starts it there), runs at the
// outgoing song's tempo while they overlap and glides back to its own over eight bars.
// Without grids, or with tempi too far apart, nothing here acts: the usual transition runs.

#include "base/timetext.h"
#include "playback/playbackengine.h"

#include <cmath>

namespace volaro::playback {

void PlaybackEngine::setMatchBeats(bool on) {
    if (std::exchange(m_matchBeats, on) != on)
        emit matchBeatsChanged(on);
}

std::optional<BeatPlan> PlaybackEngine::beatPlanOf(const QString& outPath, int32_t outDuration,
                                                   const QString& inPath,
                                                   int32_t inDuration) const {
    if (!m_matchBeats || !m_sound)
        return std::nullopt;
    const auto out = m_sound(outPath);
    const auto in = m_sound(inPath);
    if (!out || !in)
        return std::nullopt;
    const deck::SongSpan outSpan = spanOf(outPath, outDuration);
    const deck::SongSpan inSpan = spanOf(inPath, inDuration);
    return planBeats(out->beats, outSpan.start, outSpan.end, in->beats, inSpan.start, inSpan.end,
                     m_transitionSeconds);
}

int PlaybackEngine::upcomingRow() {
    if (!m_shuffle)
        return nextRow();
    // Drawn once, ahead of its time, so that the plan knows the song; the transition takes
    // the same row if the plan comes to nothing.
    if (m_drawnRow < 1 || m_drawnRow > m_list.count())
        m_drawnRow = static_cast<int>(drawRandom() * m_list.count() + 1);
    return m_drawnRow;
}

bool PlaybackEngine::followBeats() {
    Deck* out = deck(m_currentDeck);
    if (!m_matchBeats || m_beatsRefused || m_opening.deck || !out || tmrBeat.isActive())
        return false;
    const int row = upcomingRow();
    const QString inPath = m_list.location(row);
    const auto in = m_sound ? m_sound(inPath) : std::nullopt;
    if (!in)
        return false; // not known yet: maybe by the next tick
    const auto plan = beatPlanOf(m_deckPath[m_currentDeck], m_songDuration, inPath,
                                 static_cast<int32_t>(std::lround(in->seconds)));
    if (!plan) {
        m_beatsRefused = true;
        return false;
    }
    const double now = out->exactPosition();
    if (now < plan->outDownbeat - BeatPlanLeadSeconds)
        return true; // the usual transition point does not count: the downbeat does
    if (now > plan->outDownbeat - BeatMinLeadSeconds) {
        m_beatsRefused = true; // sought past it
        return false;
    }
    // The incoming song is the one opened ahead.
    if (m_next.path != inPath) {
        openNext(row);
        return true;
    }
    if (!m_next.ready)
        return true;
    const int64_t frame = out->outputFrameAt(plan->outDownbeat);
    if (m_next.status != Deck::OpenOk || frame < 0) {
        m_beatsRefused = true;
        return false;
    }
    startOnTheBeat(row, *plan, frame, plan->outDownbeat - now);
    return true;
}

void PlaybackEngine::startOnTheBeat(int row, const BeatPlan& plan, int64_t frame, double wait) {
    setCurrentIndex(row);
    PendingSong song = std::move(m_next);
    m_next = {};
    LoadSongOnDeck(std::move(song));
    Deck* in = deck(m_currentDeck);
    in->seekExact(plan.inDownbeat);
    if (plan.tempo != 1)
        in->setTempo(plan.tempo, 0);
    in->startAtOutputFrame(frame);
    in->PlayFile();
    canSound(Deck::OpenOk);
    emit songStarted(currentIndex());
    showPlaying();
    m_transitionStep = 0;
    if (m_masterLevel > 0)
        tmrTransition.setInterval(static_cast<int>(plan.seconds * 1000 / m_masterLevel));
    m_beatBarSeconds = plan.tempo != 1 ? plan.inBarSeconds : 0;
    // The levels start moving when the downbeat is heard.
    tmrBeat.start(static_cast<int>(std::max(0.0, wait) * 1000));
    openNext();
}

void PlaybackEngine::tmrBeat_Timer() {
    tmrBeat.stop();
    tmrTransition.start();
}

void PlaybackEngine::transitionClosed() {
    // Back to its own tempo over eight of its bars.
    if (m_beatBarSeconds > 0) {
        if (Deck* in = deck(m_currentDeck))
            in->setTempo(1.0, BeatReturnBars * m_beatBarSeconds);
        m_beatBarSeconds = 0;
    }
}

} // namespace volaro::playback
