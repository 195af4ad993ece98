// PlaybackEngine, continued: the transition engine and the position monitor.

#include "base/timetext.h"
#include "playback/playbackengine.h"

#include <limits>

namespace volaro::playback {

using base::SegToMin;

// --- Transition engine: the ticks -------------------------------------------------

void PlaybackEngine::tmrTransition_Timer() {
    if (m_transitionStep < std::numeric_limits<int16_t>::max())
        ++m_transitionStep;
    const int s = m_transitionStep;
    const int v = m_masterLevel;
    const int m = MaxLevel;
    const int in = m_currentDeck;
    const int out = 1 - m_currentDeck;

    if (s >= v + 1) {
        m_transitionStep = 0;
        tmrTransition.stop();
        if (Deck* d = deck(out))
            d->StopFile();
        transitionClosed();
        return;
    }

    const bool firstHalf = s <= v / 2.0;
    switch (m_transitionType) {
    case TransitionType::CrossDissolve:
        setDeckLevel(in, m - s);
        setDeckLevel(out, (m - v) + s);
        break;
    case TransitionType::UpDown:
        if (firstHalf)
            setDeckLevel(in, m - 2 * s);
        else
            setDeckLevel(out, 2 * s - 2 * v + m);
        break;
    case TransitionType::DownUp:
        if (firstHalf)
            setDeckLevel(out, 2 * s + (m - v));
        else
            setDeckLevel(in, m + v - 2 * s);
        break;
    case TransitionType::Mix:
        masterDisplay();
        break;
    case TransitionType::Cut:
        setDeckLevel(out, m);
        setDeckLevel(in, m - v);
        if (Deck* d = deck(out))
            d->StopFile();
        break;
    }
}

// --- Position monitor --------------------------------------------------------------

void PlaybackEngine::tmrPosition_Timer() {
    auto position = [this]() -> int64_t {
        Deck* d = deck(m_currentDeck);
        return d ? d->Position() : 0;
    };

    m_display.lblTotal = SegToMin(static_cast<double>(int64_t(m_songEnd) - m_songStart));
    emit totalTextChanged(m_display.lblTotal);
    m_display.lblTimeLeft = SegToMin(m_songEnd - position());
    emit timeLeftTextChanged(m_display.lblTimeLeft);
    m_display.lblPosition = SegToMin(position() - m_songStart);
    emit positionTextChanged(m_display.lblPosition);
    showPosition(position() - m_songStart);

    if (m_halted)
        return;
    // An output gone with nothing to take over freezes the position: the song would never
    // reach its transition point while the status kept saying "Play".
    if (Deck* d = deck(m_currentDeck); d && d->outputLost()) {
        halt(NoOutputNotice);
        return;
    }
    if (followJoin(position()) || followBeats())
        return;
    if (position() < int64_t(m_songEnd) - m_transitionSeconds)
        return;
    if (m_opening.deck) // the next song is on its way
        return;

    if (m_shuffle) // the row a beat plan drew ahead, if it drew one
        setCurrentIndex(m_drawnRow > 0 ? m_drawnRow
                                       : static_cast<int64_t>(drawRandom() * m_list.count() + 1));
    else
        setCurrentIndex(int64_t(currentIndex()) + 1);
    DoTransition();
}

} // namespace volaro::playback
