// PlaybackEngine, continued: the transition engine and the position monitor.

#include "base/timetext.h"
#include "playback/playbackengine.h"
#include "playback/playbacklist.h"

#include <limits>

namespace volaro::playback {

using base::SegToMin;

// --- Transition engine -------------------------------------------------------------

void PlaybackEngine::DoTransition() {
    if (currentIndex() == -1)
        return;
    const int count = m_list.count();
    if (count == 0) {
        stop();
        setCurrentIndex(-1);
        tmrTransition.stop();
        return;
    }
    if (currentIndex() > count) {
        setCurrentIndex(0);
        return;
    }
    m_halted = false;
    m_currentDeck = 1 - m_currentDeck;
    const int16_t status = LoadSongOnDeck();
    if (!canSound(status))
        return;
    if (Deck* d = deck(m_currentDeck))
        d->PlayFile();
    if (status == Deck::OpenOk)
        emit songStarted(currentIndex());
    showPlaying();
    m_transitionStep = 0;
    if (const auto interval = transitionInterval(m_transitionSeconds, m_masterLevel))
        tmrTransition.setInterval(*interval);
    tmrTransition.start();
}

bool PlaybackEngine::canSound(int16_t openStatus) {
    if (openStatus == Deck::OpenOk) {
        m_unplayable.clear();
        setNotice({});
        return true;
    }
    if (openStatus == Deck::OpenNoOutput || openStatus == Deck::OpenOutputFailed) {
        halt(NoOutputNotice);
        return false;
    }
    // A file that does not open is skipped by the monitor's next tick, as always; only a
    // whole pass of them is a dead end.
    m_unplayable.insert(m_list.location(currentIndex()));
    if (wholeListUnplayable()) {
        halt(NothingPlayableNotice);
        return false;
    }
    return true;
}

bool PlaybackEngine::wholeListUnplayable() const {
    const int n = m_list.count();
    // From the row after the current one: during a pass the first row looked at is
    // normally one not tried yet, so the check costs one lookup until the pass is done.
    for (int k = 1; k <= n; ++k) {
        const int row = (currentIndex() - 1 + k) % n + 1;
        if (!m_unplayable.contains(m_list.location(row)))
            return false;
    }
    return n > 0;
}

void PlaybackEngine::halt(const QString& why) {
    stop();
    tmrTransition.stop();
    m_transitionStep = 0;
    m_halted = true;
    m_unplayable.clear();
    setNotice(why);
}

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
    if (position() < int64_t(m_songEnd) - m_transitionSeconds)
        return;

    if (m_shuffle)
        setCurrentIndex(static_cast<int64_t>(drawRandom() * m_list.count() + 1));
    else
        setCurrentIndex(int64_t(currentIndex()) + 1);
    DoTransition();
}

} // namespace volaro::playback
