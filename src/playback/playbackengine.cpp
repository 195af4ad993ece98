#include "playback/playbackengine.h"

#include "base/timetext.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace volaro::playback {

using base::SegToMin;

namespace {

// Percentages of the bars: the nearest whole number, a half to the even neighbour.
int percent(double part, double whole) {
    return static_cast<int>(std::nearbyint(part / whole * 100.0));
}

bool fits32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// Stores `value` in `field` when it lies in [lo, hi]; true when it changed.
bool store(int& field, int64_t value, int lo, int hi, bool& accepted) {
    accepted = value >= lo && value <= hi;
    if (!accepted || value == field)
        return false;
    field = static_cast<int>(value);
    return true;
}

} // namespace

PlaybackEngine::PlaybackEngine(DeckFactory factory, PlaybackList list, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_list(std::move(list)) {
    tmrPosition.setInterval(100);
    tmrTransition.setInterval(100);
    tmrOpening.setInterval(OpenTimeoutMs);
    tmrOpening.setSingleShot(true);
    connect(&tmrOpening, &QTimer::timeout, this, &PlaybackEngine::tmrOpening_Timer);
    tmrBeat.setSingleShot(true);
    tmrBeat.setTimerType(Qt::PreciseTimer);
    connect(&tmrBeat, &QTimer::timeout, this, &PlaybackEngine::tmrBeat_Timer);
    tmrTransition.setTimerType(Qt::PreciseTimer);
    connect(&tmrPosition, &QTimer::timeout, this, &PlaybackEngine::tmrPosition_Timer);
    connect(&tmrTransition, &QTimer::timeout, this, &PlaybackEngine::tmrTransition_Timer);
}

PlaybackEngine::~PlaybackEngine() {
    tmrPosition.stop();
    tmrTransition.stop();
    tmrOpening.stop();
}

std::optional<int> PlaybackEngine::transitionInterval(int32_t seconds, int masterLevel) {
    if (masterLevel == 0)
        return std::nullopt;
    // Long intervals are used as computed: every transition lasts its set time.
    const int64_t ms = static_cast<int64_t>(seconds) * 1000 / masterLevel;
    return static_cast<int>(std::clamp<int64_t>(ms, 0, std::numeric_limits<int>::max()));
}

double PlaybackEngine::drawRandom() {
    if (m_random)
        return m_random();
    // Reseeded before every draw from the clock's second, so two draws within the same
    // second give the same entry; that is how shuffle has always behaved.
    m_generator.RandomizeFromClock();
    return m_generator.Rnd();
}

std::unique_ptr<Deck> PlaybackEngine::measuringDeck() const {
    return m_factory ? m_factory() : nullptr;
}

// --- Settings ----------------------------------------------------------------------

bool PlaybackEngine::setMasterLevel(int64_t level) {
    bool accepted = false;
    if (store(m_masterLevel, level, 0, MaxLevel, accepted)) {
        emit masterLevelChanged(m_masterLevel);
        masterDisplay();
    }
    return accepted;
}

void PlaybackEngine::masterDisplay() {
    // The current deck plays at the master level; a running Mix follows it on every tick.
    setDeckLevel(m_currentDeck, MaxLevel - m_masterLevel);
    const int p = percent(m_masterLevel, MaxLevel);
    m_display.lblMasterVolume = QString::number(p) + QLatin1Char('%');
    emit masterVolumeTextChanged(m_display.lblMasterVolume);
    m_display.prgMasterVolume = p;
    emit masterVolumePercentChanged(p);
}

bool PlaybackEngine::setTransitionSeconds(int64_t seconds) {
    bool accepted = false;
    if (store(m_transitionSeconds, seconds, MinTransitionSeconds, MaxTransitionSeconds, accepted))
        emit transitionSecondsChanged(m_transitionSeconds);
    return accepted;
}

bool PlaybackEngine::setTransitionType(int64_t index) {
    int value = static_cast<int>(m_transitionType);
    bool accepted = false;
    if (store(value, index, 0, TransitionTypeCount - 1, accepted)) {
        m_transitionType = static_cast<TransitionType>(value);
        emit transitionTypeChanged(m_transitionType);
    }
    return accepted;
}

bool PlaybackEngine::setCutFirst(int64_t seconds) {
    bool accepted = false;
    if (store(m_cutFirst, seconds, 0, MaxCut, accepted))
        emit cutFirstChanged(m_cutFirst);
    return accepted;
}

bool PlaybackEngine::setCutLast(int64_t seconds) {
    bool accepted = false;
    if (store(m_cutLast, seconds, 0, MaxCut, accepted))
        emit cutLastChanged(m_cutLast);
    return accepted;
}

void PlaybackEngine::setShuffle(bool on) {
    if (on == m_shuffle)
        return;
    m_shuffle = on;
    emit shuffleChanged(on);
}

void PlaybackEngine::setLevelLoudness(bool on) {
    if (std::exchange(m_levelLoudness, on) == on)
        return;
    emit levelLoudnessChanged(on);
    for (int i = 0; i < 2; ++i) {
        if (Deck* d = deck(i); d && !m_deckPath[i].isEmpty())
            d->setSongGain(songGainOf(m_deckPath[i]));
    }
}

int32_t PlaybackEngine::songGainOf(const QString& path) const {
    const auto sound = m_levelLoudness && m_sound ? m_sound(path) : std::nullopt;
    return sound ? deck::levelGain(*sound) : 0;
}

void PlaybackEngine::soundLearnt(const QString& path) {
    if (m_next.deck && m_next.path == path)
        m_next.deck->setSongGain(songGainOf(path));
    for (int i = 0; i < 2; ++i) {
        Deck* d = deck(i);
        if (!d || m_deckPath[i] != path)
            continue;
        if (m_levelLoudness)
            d->setSongGain(songGainOf(path));
        // The song in play ends where its sound does from now on; it started already.
        if (i == m_currentDeck && m_skipSilence)
            setEnd(spanOf(path, m_songDuration).end);
    }
}

void PlaybackEngine::setEnd(int32_t end) {
    if (end <= m_songStart || end == m_songEnd)
        return;
    m_songEnd = end;
    const int32_t length = m_songEnd - m_songStart;
    const int row = currentIndex();
    if (row >= 1 && row <= m_list.count() && m_list.location(row) == m_deckPath[m_currentDeck])
        m_list.setLengths(row, QString::number(m_songDuration), SegToMin(length));
    if (fits16(length) && length != m_positionMax) {
        m_positionMax = length;
        emit positionChanged(m_position, m_positionMax);
    }
    positionDisplay();
}

deck::SongSpan PlaybackEngine::spanOf(const QString& path, int32_t duration) const {
    const auto sound = m_skipSilence && m_sound ? m_sound(path) : std::nullopt;
    return sound ? deck::songSpan(duration, m_cutFirst, m_cutLast, *sound)
                 : deck::songSpan(duration, m_cutFirst, m_cutLast);
}

// --- State -------------------------------------------------------------------------

int PlaybackEngine::currentIndex() const {
    return m_list.currentRow();
}

void PlaybackEngine::setCurrentIndex(int64_t index) {
    // A 16-bit field: a step past either end stays where it is.
    if (fits16(index))
        m_list.setCurrentRow(static_cast<int>(index));
}

void PlaybackEngine::setPlayState(PlayState state) {
    if (state != m_playState) {
        m_playState = state;
        emit playStateChanged(state);
    }
    setStatus(state == PlayState::Playing  ? StatusPlayText
              : state == PlayState::Paused ? StatusPauseText
                                           : StatusStopText);
}

void PlaybackEngine::setStatus(const QString& text) {
    m_display.lblStatus = text;
    emit statusTextChanged(text);
}

void PlaybackEngine::setNotice(const QString& text) {
    if (text == m_notice)
        return;
    m_notice = text;
    emit noticeChanged(text);
}

void PlaybackEngine::setOutputDevice(const QString& name) {
    m_outputDevice = name;
    for (int i = 0; i < 2; ++i) {
        m_decks[i].reset();
        m_deckPath[i].clear();
    }
    for (auto& d : m_decks) {
        d = m_factory ? m_factory() : nullptr;
        if (d)
            d->setOutputDevice(name);
    }
    // What is being opened binds to an output once read; what was opened ahead is bound.
    if (m_opening.deck)
        m_opening.deck->setOutputDevice(name);
    m_next = {};
    m_join = {};
    m_joinsHeard = 0;
}

// --- Transport ---------------------------------------------------------------------

void PlaybackEngine::play() {
    if (m_playState == PlayState::Paused) {
        if (Deck* d = deck(m_currentDeck))
            d->PlayFile();
    } else if (m_playState == PlayState::Stopped) {
        setCurrentIndex(1);
        DoTransition();
        // An empty list or a dead end stopped it: a "Play" now would promise a song that
        // never comes, and would keep the next press from starting the list.
        if (currentIndex() == -1 || m_halted)
            return;
    }
    setPlayState(PlayState::Playing);
}

void PlaybackEngine::pause() {
    if (m_playState == PlayState::Paused) {
        play();
        return;
    }
    dropOpening();          // what was about to start waits for the song to go on
    if (tmrBeat.isActive()) // its levels move as in any transition
        tmrBeat_Timer();
    if (Deck* d = deck(m_currentDeck))
        d->PauseFile();
    setPlayState(PlayState::Paused);
}

void PlaybackEngine::stop() {
    dropOpening();
    tmrBeat.stop();
    if (Deck* d = deck(m_currentDeck))
        d->StopFile();
    if (Deck* d = deck(1 - m_currentDeck))
        d->StopFile();
    setPlayState(PlayState::Stopped);
}

void PlaybackEngine::next() {
    if (m_playState == PlayState::Paused)
        play();
    setCurrentIndex(int64_t(currentIndex()) + 1);
    DoTransition();
}

void PlaybackEngine::back() {
    if (m_playState == PlayState::Paused)
        play();
    setCurrentIndex(int64_t(currentIndex()) - 1);
    DoTransition();
}

void PlaybackEngine::playSelected() {
    const int index = m_list.selectedIndex();
    if (index >= 1 && index <= m_list.count()) {
        m_list.clearSelection(index);
        setCurrentIndex(index);
        DoTransition();
        if (m_halted)
            return;
    }
    setPlayState(PlayState::Playing);
}

void PlaybackEngine::showPlaying() {
    const int row = currentIndex();
    if (row >= 1 && row <= m_list.count())
        m_list.showItem(row);
}

// --- Mixer -------------------------------------------------------------------------

void PlaybackEngine::setDeckLevel(int i, int64_t level, bool force) {
    // A level outside 0..MaxLevel is refused and the deck keeps its volume.
    if (level < 0 || level > MaxLevel || (level == m_deckLevel[i] && !force))
        return;
    const int a = static_cast<int>(level);
    m_deckLevel[i] = a;
    if (Deck* d = deck(i))
        d->setVolume(-(a * a));
    const int p = percent(MaxLevel - a, MaxLevel);
    m_display.lblVolume[i] = QString::number(p);
    emit deckVolumeTextChanged(i, m_display.lblVolume[i]);
    m_display.prgVolume[i] = p;
    emit deckVolumePercentChanged(i, p);
}

void PlaybackEngine::showPosition(int64_t value) {
    // The program's own moves of the slider: shown, never sought.
    const int lo = std::min(0, m_positionMax), hi = std::max(0, m_positionMax);
    if (value < lo || value > hi || value == m_position)
        return;
    m_position = static_cast<int>(value);
    emit positionChanged(m_position, m_positionMax);
    positionDisplay();
}

bool PlaybackEngine::seek(int64_t seconds) {
    const int lo = std::min(0, m_positionMax), hi = std::max(0, m_positionMax);
    if (seconds < lo || seconds > hi)
        return false;
    if (seconds == m_position)
        return true;
    m_position = static_cast<int>(seconds);
    emit positionChanged(m_position, m_positionMax);
    positionDisplay();
    const int64_t target = int64_t(m_position) + m_songStart;
    if (Deck* d = deck(m_currentDeck); d && fits32(target))
        d->setPosition(static_cast<int32_t>(target));
    emit seeked(m_position);
    return true;
}

void PlaybackEngine::positionDisplay() {
    const int p = m_positionMax >= 1 ? percent(m_position, m_positionMax) : 0;
    m_display.prgPosition = p;
    emit positionPercentChanged(p);
    m_display.lblPosition = SegToMin(m_position);
    emit positionTextChanged(m_display.lblPosition);
    m_display.lblTimeLeft = SegToMin(int64_t(m_songEnd) - m_songStart - m_position);
    emit timeLeftTextChanged(m_display.lblTimeLeft);
}

} // namespace volaro::playback
