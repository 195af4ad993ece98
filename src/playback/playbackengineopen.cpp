// PlaybackEngine, continued: how a song reaches a deck. Files are opened without waiting
// for them (they may lie on slow or stalled storage); the song in play goes on meanwhile.
// The next song of the list is opened ahead, as soon as a song starts, so that its
// transition begins on time.

#include "base/timetext.h"
#include "playback/playbackengine.h"

namespace volaro::playback {

using base::SegToMin;

// --- Transition engine: the start of a song ---------------------------------------

void PlaybackEngine::DoTransition() {
    // A file that fails at once moves the list on from inside a transition; the loop keeps
    // the stack flat however many fail in a row.
    if (m_transitionDepth > 0) {
        m_transitionAgain = true;
        return;
    }
    ++m_transitionDepth;
    do {
        m_transitionAgain = false;
        startTransition();
    } while (m_transitionAgain);
    --m_transitionDepth;
}

void PlaybackEngine::startTransition() {
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
    if (currentIndex() < 1)
        setCurrentIndex(1);
    const QString path = m_list.location(currentIndex());
    // The newest command wins over a song still opening, and over a planned beat.
    dropOpening();
    tmrBeat.stop();
    if (m_next.deck && m_next.path == path)
        m_opening = std::move(m_next);
    m_next = {};
    if (!m_opening.deck) {
        m_opening.path = path;
        m_opening.deck = newDeck(path);
        if (!m_opening.deck) { // no output was ever found: nothing can sound
            m_opening.ready = true;
            m_opening.status = Deck::OpenNoOutput;
        } else {
            openPending(m_opening);
        }
    }
    if (m_opening.ready)
        finishOpening();
    else
        tmrOpening.start();
}

std::unique_ptr<Deck> PlaybackEngine::newDeck(const QString& path) const {
    std::unique_ptr<Deck> d = m_factory ? m_factory() : nullptr;
    if (d) {
        d->setOutputDevice(m_outputDevice);
        d->setFilename(path);
        d->setSongGain(songGainOf(path));
    }
    return d;
}

void PlaybackEngine::openPending(PendingSong& song) {
    song.serial = ++m_openSerial;
    const int serial = song.serial;
    song.deck->OpenFileAsync([this, serial](int16_t status) { songOpened(serial, status); });
}

void PlaybackEngine::songOpened(int serial, int16_t status) {
    for (PendingSong* song : {&m_opening, &m_next}) {
        if (song->deck && song->serial == serial) {
            song->ready = true;
            song->status = status;
        }
    }
    // Called from inside OpenFileAsync by decks that open at once: startTransition
    // finishes those itself.
    if (m_opening.deck && m_opening.serial == serial && m_transitionDepth == 0)
        finishOpening();
}

void PlaybackEngine::dropOpening() {
    tmrOpening.stop();
    m_opening = {};
}

void PlaybackEngine::tmrOpening_Timer() {
    if (!m_opening.deck || m_opening.ready)
        return;
    // Still reading after all this time: the storage is stalled. The deck goes (a late
    // answer finds no one) and the list goes on as for a file that does not open.
    m_opening.deck.reset();
    m_opening.ready = true;
    m_opening.status = Deck::OpenNoFile;
    finishOpening();
}

void PlaybackEngine::finishOpening() {
    tmrOpening.stop();
    PendingSong song = std::move(m_opening);
    m_opening = {};
    const int16_t status = LoadSongOnDeck(std::move(song));
    if (!canSound(status))
        return;
    if (status != Deck::OpenOk) {
        // The song in play goes on; the next row is tried at once. In shuffle too, so that
        // a run of broken rows is passed in one go.
        const int row = currentIndex();
        setCurrentIndex(row >= m_list.count() ? 1 : row + 1);
        DoTransition();
        return;
    }
    if (Deck* d = deck(m_currentDeck))
        d->PlayFile();
    emit songStarted(currentIndex());
    showPlaying();
    m_transitionStep = 0;
    if (const auto interval = transitionInterval(m_transitionSeconds, m_masterLevel))
        tmrTransition.setInterval(*interval);
    tmrTransition.start();
    openNext();
}

void PlaybackEngine::openNext(int row) {
    m_next = {};
    // In shuffle the next song is drawn only when it is due (or a plan asks for it).
    const int count = m_list.count();
    if ((m_shuffle && row == 0) || count == 0)
        return;
    if (row < 1 || row > count)
        row = currentIndex() >= count ? 1 : currentIndex() + 1;
    m_next.path = m_list.location(row);
    m_next.deck = newDeck(m_next.path);
    if (m_next.deck)
        openPending(m_next);
}

// --- Song loader -------------------------------------------------------------------

int16_t PlaybackEngine::LoadSongOnDeck(PendingSong song) {
    const int row = currentIndex();
    if (song.status != Deck::OpenOk) {
        // Nothing to hear: the deck in play and the other one stay as they are.
        m_list.setLengths(row, QStringLiteral("0"), SegToMin(0));
        return song.status;
    }
    // The song in play becomes the outgoing one: whatever was queued behind it stays unheard.
    if (m_join.committed) {
        if (Deck* d = deck(m_currentDeck))
            d->cancelQueued();
        m_join = {};
    }
    m_joinsHeard = 0;
    m_noJoinRow = 0;
    m_beatsRefused = false;
    m_drawnRow = 0;
    m_beatBarSeconds = 0;
    const int cur = 1 - m_currentDeck;
    m_currentDeck = cur;
    if (Deck* d = deck(cur))
        d->StopFile();
    m_decks[cur] = std::move(song.deck);
    m_deckPath[cur] = song.path;
    Deck* d = m_decks[cur].get();
    // Known or switched since it was opened ahead: the level it starts at.
    d->setSongGain(songGainOf(song.path));

    const int32_t duration = d->Duration();
    const deck::SongSpan span = spanOf(song.path, duration);
    m_songDuration = duration;
    m_songStart = span.start;
    m_songEnd = span.end;
    m_list.setLengths(row, QString::number(duration), SegToMin(span.length()));
    d->setPosition(m_songStart);

    // Silent start; forced so a fresh deck gets its volume even when the level already
    // stood at silence.
    setDeckLevel(cur, MaxLevel, true);

    if (!tmrPosition.isActive())
        tmrPosition.start();

    showPosition(0);
    if (fits16(span.length()) && span.length() != m_positionMax) {
        m_positionMax = span.length();
        emit positionChanged(m_position, m_positionMax);
    }
    return Deck::OpenOk;
}

// --- Dead ends ---------------------------------------------------------------------

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
    // A file that does not open is passed over; only a whole pass of them is a dead end.
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

} // namespace volaro::playback
