// PlaybackEngine, continued: albums played whole. When two songs that follow each other
// in order are one piece of music (albumjoin.h), the first plays to its last frame and the
// second is queued on the same deck to follow it without a gap; the position monitor sees
// it begin and shows it as the song in play. Any command of the user's (another song,
// shuffle, the option switched off) takes the queued song back and the usual rules apply.

#include "base/timetext.h"
#include "playback/albumjoin.h"
#include "playback/playbackengine.h"

namespace volaro::playback {

using base::SegToMin;

void PlaybackEngine::setKeepAlbumsWhole(bool on) {
    if (std::exchange(m_keepAlbumsWhole, on) != on)
        emit keepAlbumsWholeChanged(on);
}

int PlaybackEngine::nextRow() const {
    return currentIndex() >= m_list.count() ? 1 : currentIndex() + 1;
}

bool PlaybackEngine::joinWanted(int row) const {
    const int count = m_list.count();
    return joinsAlbums() && row != m_noJoinRow && currentIndex() >= 1 && currentIndex() <= count &&
           row >= 1 && row <= count && row != currentIndex() &&
           joinsWhole(m_list.albumPlace(currentIndex()), m_list.albumPlace(row));
}

bool PlaybackEngine::followJoin(int64_t position) {
    Deck* d = deck(m_currentDeck);
    if (!d)
        return false;
    if (d->songsJoined() > m_joinsHeard) {
        ++m_joinsHeard;
        joinHeard();
        return true;
    }
    if (m_join.committed) {
        if (joinWanted(m_join.row) && m_list.location(m_join.row) == m_join.path)
            return true; // it plays to its end and the next follows
        if (!d->cancelQueued())
            return true; // too late to take back: it is heard in a moment
        m_join = {};
        // The usual rules, late: its end point as without the join.
        setEnd(spanOf(m_deckPath[m_currentDeck], m_songDuration).end);
        return false;
    }
    const int row = nextRow();
    if (!joinWanted(row))
        return false;
    if (m_next.path != m_list.location(row))
        openNext(); // the list changed since the song started
    if (!m_next.deck || (m_next.ready && m_next.status != Deck::OpenOk)) {
        m_noJoinRow = row; // it cannot be joined: a transition, as for any other song
        return false;
    }
    // Queued while the end is still seconds away, so that the deck reads on into it.
    if (m_next.ready && position >= int64_t(m_songDuration) - JoinLeadSeconds) {
        if (!d->queueAfter(*m_next.deck)) {
            m_noJoinRow = row;
            return false;
        }
        m_join = {true, row, m_next.path, m_next.deck->Duration()};
        m_next = {};
        setEnd(m_songDuration); // no end trim, no silence skipped: to its last frame
    }
    return true;
}

void PlaybackEngine::joinHeard() {
    const Join join = std::exchange(m_join, {});
    const int row = m_list.location(join.row) == join.path ? join.row : nextRow();
    setCurrentIndex(row);
    m_deckPath[m_currentDeck] = join.path;
    m_noJoinRow = 0;
    // No start trim and no silence skipped where it joined; its end as for any song.
    m_songDuration = join.duration;
    m_songStart = 0;
    m_songEnd = std::max(1, spanOf(join.path, join.duration).end);
    const int32_t length = m_songEnd - m_songStart;
    m_list.setLengths(row, QString::number(join.duration), SegToMin(length));
    m_position = -1; // shown afresh
    if (fits16(length))
        m_positionMax = length;
    showPosition(0);
    emit songStarted(row);
    showPlaying();
    openNext();
}

} // namespace volaro::playback
