#include "playbackengine.h"

#include "playbacklist.h"
#include "programrandom.h"
#include "songrecord.h"

#include <cmath>
#include <limits>

namespace volaro::playback {

namespace {

// Percentages of the bars: the nearest whole number, a half to the even neighbour.
int percent(double part, double whole) {
    return static_cast<int>(std::nearbyint(part / whole * 100.0));
}

bool fits16(int64_t v) {
    return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
}

bool fits32(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

double defaultDraw() {
    // Reseeded before every draw from the clock's second, so two draws within the same
    // second give the same entry; that is how shuffle has always behaved.
    static ProgramRandom generator;
    generator.RandomizeFromClock();
    return generator.Rnd();
}

} // namespace

PlaybackEngine::PlaybackEngine(DeckFactory factory, PlaybackList* list, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_list(list)
    , m_random(defaultDraw) {
    tmrPosition.setInterval(100);
    tmrTransition.setInterval(100);
    tmrTransition.setTimerType(Qt::PreciseTimer);
    connect(&tmrPosition, &QTimer::timeout, this, &PlaybackEngine::tmrPosition_Timer);
    connect(&tmrTransition, &QTimer::timeout, this, &PlaybackEngine::tmrTransition_Timer);

    hscVolume.onChange = [this] { hscVolume_Change(); };
    hscVolume.onMirror = [this] { emit masterVolumeValueChanged(hscVolume.value()); };
    for (int i = 0; i < 2; ++i) {
        vscVolume[i].onChange = [this, i] { vscVolume_Change(i); };
        vscVolume[i].onMirror = [this, i] { emit deckLevelChanged(i, vscVolume[i].value()); };
    }
    hscPosition.onChange = [this] { hscPosition_Change(); };
    hscPosition.onMirror = [this] {
        emit positionSliderChanged(hscPosition.value(), hscPosition.maximum());
    };
    spinTransitionTime.onChange = [this] { spinTransitionTime_Change(); };
    spinTransitionTime.onMirror = [this] {
        emit transitionTimeValueChanged(spinTransitionTime.value());
    };
    spinCutFirst.onChange = [this] { spinCutFirst_Change(); };
    spinCutFirst.onMirror = [this] { emit cutFirstValueChanged(spinCutFirst.value()); };
    spinCutLast.onChange = [this] { spinCutLast_Change(); };
    spinCutLast.onMirror = [this] { emit cutLastValueChanged(spinCutLast.value()); };
    optTransition.onChange = [this] { optTransition_Click(optTransition.value()); };
    optTransition.onMirror = [this] { emit transitionTypeChanged(optTransition.value()); };
    chkRndPlay.onMirror = [this] { emit shuffleChanged(chkRndPlay.value()); };
}

PlaybackEngine::~PlaybackEngine() {
    tmrPosition.stop();
    tmrTransition.stop();
}

std::optional<int> PlaybackEngine::transitionInterval(int32_t transitionTime, int masterVolume) {
    if (masterVolume == 0)
        return std::nullopt;
    // Long intervals are used as computed: every transition lasts its set time.
    const int64_t ms = static_cast<int64_t>(transitionTime) * 1000 / masterVolume;
    return static_cast<int>(std::clamp<int64_t>(ms, 0, std::numeric_limits<int>::max()));
}

int PlaybackEngine::listCount() const {
    return m_list ? m_list->count() : 0;
}

double PlaybackEngine::drawRandom() {
    return m_random ? m_random() : defaultDraw();
}

void PlaybackEngine::setStatus(const QString& text) {
    m_display.lblStatus = text;
    emit statusTextChanged(text);
}

void PlaybackEngine::setLevel(int deck, int64_t level) {
    // A level outside 0..M is refused by the fader and the deck keeps its volume.
    if (deck == 0 || deck == 1)
        vscVolume[deck].setValue(level);
}

std::unique_ptr<Deck> PlaybackEngine::measuringDeck() const {
    return m_factory ? m_factory() : nullptr;
}

void PlaybackEngine::setNotice(const QString& text) {
    if (text == m_notice)
        return;
    m_notice = text;
    emit noticeChanged(text);
}

Deck* PlaybackEngine::replaceDeck(int index) {
    if (index != 0 && index != 1)
        return nullptr;
    Decks[index].reset();
    Decks[index] = m_factory ? m_factory() : nullptr;
    if (Decks[index])
        Decks[index]->setOutputDevice(m_outputDevice);
    return Decks[index].get();
}

// --- Transport ---------------------------------------------------------------------

void PlaybackEngine::btnPlay_Click() {
    if (PlayState == 2) {
        if (Deck* d = deck(CurrentDeck))
            d->PlayFile();
    } else if (PlayState == 0) {
        CurrentIndex = 1;
        DoTransition();
        // An empty list or a dead end stopped it: a "Play" now would promise a song that
        // never comes, and would keep the next press from starting the list.
        if (CurrentIndex == -1 || m_halted)
            return;
    }
    PlayState = 1;
    setStatus(StatusPlayText);
}

void PlaybackEngine::btnPause_Click() {
    if (PlayState != 2) {
        if (Deck* d = deck(CurrentDeck))
            d->PauseFile();
        PlayState = 2;
        setStatus(StatusPauseText);
    } else {
        btnPlay_Click();
    }
}

void PlaybackEngine::btnStop_Click() {
    if (Deck* d = deck(CurrentDeck))
        d->StopFile();
    if (Deck* d = deck(1 - CurrentDeck))
        d->StopFile();
    PlayState = 0;
    setStatus(StatusStopText);
}

void PlaybackEngine::btnNext_Click() {
    if (PlayState == 2)
        btnPlay_Click();
    if (CurrentIndex < std::numeric_limits<int16_t>::max())
        ++CurrentIndex;
    DoTransition();
}

void PlaybackEngine::btnBack_Click() {
    if (PlayState == 2)
        btnPlay_Click();
    if (CurrentIndex > std::numeric_limits<int16_t>::min())
        --CurrentIndex;
    DoTransition();
}

void PlaybackEngine::mnuPlaySelectedItem_Click() {
    const int index = m_list ? m_list->selectedIndex() : 0;
    if (index >= 1 && index <= listCount() && fits16(index)) {
        m_list->clearSelection(index);
        CurrentIndex = static_cast<int16_t>(index);
        DoTransition();
        if (m_halted)
            return;
    }
    PlayState = 1;
    setStatus(StatusPlayText);
}

void PlaybackEngine::mnuShowItemInPlay_Click() {
    if (m_list && CurrentIndex >= 1 && CurrentIndex <= m_list->count())
        m_list->showItem(CurrentIndex);
}

// --- Transition engine -------------------------------------------------------------

void PlaybackEngine::DoTransition() {
    if (CurrentIndex == -1)
        return;
    const int count = listCount();
    if (count == 0) {
        btnStop_Click();
        CurrentIndex = -1;
        tmrTransition.stop();
        return;
    }
    if (CurrentIndex > count) {
        CurrentIndex = 0;
        return;
    }
    m_halted = false;
    // The other deck; a stray value from outside lands on deck 0 rather than off the array.
    CurrentDeck = CurrentDeck == 0 ? 1 : 0;
    if (!canSound(LoadSongOnDeck()))
        return;
    if (Deck* d = deck(CurrentDeck))
        d->PlayFile();
    mnuShowItemInPlay_Click();
    emit songStarted();
    TransitionStep = 0;
    if (TransitionTime <= 0) {
        finishTransitionAtOnce();
        return;
    }
    if (const auto interval = transitionInterval(TransitionTime, hscVolume.value()))
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
    m_unplayable.insert(m_list ? m_list->location(CurrentIndex) : QString());
    if (wholeListUnplayable()) {
        halt(NothingPlayableNotice);
        return false;
    }
    return true;
}

bool PlaybackEngine::wholeListUnplayable() const {
    const int n = listCount();
    // From the row after the current one: during a pass the first row looked at is
    // normally one not tried yet, so the check costs one lookup until the pass is done.
    for (int k = 1; k <= n; ++k) {
        const int row = (CurrentIndex - 1 + k) % n + 1;
        if (!m_unplayable.contains(m_list->location(row)))
            return false;
    }
    return n > 0;
}

void PlaybackEngine::halt(const QString& why) {
    btnStop_Click();
    tmrTransition.stop();
    TransitionStep = 0;
    m_halted = true;
    m_unplayable.clear();
    setNotice(why);
}

void PlaybackEngine::finishTransitionAtOnce() {
    // A zero-length transition: its end state at once, with no timer left running.
    tmrTransition.stop();
    TransitionStep = 0;
    const int m = hscVolume.maximum();
    setLevel(1 - CurrentDeck, m);
    setLevel(CurrentDeck, static_cast<int64_t>(m) - hscVolume.value());
    if (Deck* out = deck(1 - CurrentDeck))
        out->StopFile();
}

int16_t PlaybackEngine::LoadSongOnDeck() {
    const int cur = CurrentDeck;
    if (Deck* d = deck(cur))
        d->StopFile();
    replaceDeck(cur);
    Deck* d = deck(cur);

    const int count = listCount();
    if (CurrentIndex < 1 || CurrentIndex > count)
        CurrentIndex = 1;
    int16_t status = Deck::OpenNoOutput; // no deck: nothing can sound
    if (d && m_list) {
        d->setFilename(m_list->location(CurrentIndex));
        status = d->OpenFile();
    }

    const int64_t duration = d ? d->Duration() : 0;
    int64_t start = CutFirst;
    int64_t end = duration - CutLast;
    if (m_list)
        m_list->setSubItem(CurrentIndex, 9, QString::number(duration));
    if (start >= end) {
        start = 0;
        end = duration;
    }
    int64_t length = end - start;
    if (!fits32(start) || !fits32(end) || !fits32(length)) {
        start = end = length = 0;
    }
    SongStart = static_cast<int32_t>(start);
    SongEnd = static_cast<int32_t>(end);
    if (m_list)
        m_list->setSubItem(CurrentIndex, 1, SegToMin(length));
    if (d)
        d->setPosition(SongStart);

    // Silent start; the handler runs explicitly so a fresh deck gets its volume even
    // when the fader already stood at silence.
    vscVolume[cur].setValue(vscVolume[cur].maximum());
    vscVolume_Change(cur);

    if (!tmrPosition.isActive())
        tmrPosition.start();

    PositionUpdating = 1;
    hscPosition.setValue(0);
    hscPosition.setMaximum(length);
    PositionUpdating = 0;
    return status;
}

void PlaybackEngine::tmrTransition_Timer() {
    if (TransitionStep < std::numeric_limits<int16_t>::max())
        ++TransitionStep;
    const int s = TransitionStep;
    const int v = hscVolume.value();
    const int m = hscVolume.maximum();
    const int in = CurrentDeck;
    const int out = 1 - CurrentDeck;

    if (s >= v + 1) {
        TransitionStep = 0;
        tmrTransition.stop();
        if (Deck* d = deck(out))
            d->StopFile();
        return;
    }

    const bool firstHalf = s <= v / 2.0;
    switch (TransitionType) {
    case 0: // Cross Dissolve
        setLevel(in, m - s);
        setLevel(out, (m - v) + s);
        break;
    case 1: // Up Down
        if (firstHalf)
            setLevel(in, m - 2 * s);
        else
            setLevel(out, 2 * s - 2 * v + m);
        break;
    case 2: // Down  Up
        if (firstHalf)
            setLevel(out, 2 * s + (m - v));
        else
            setLevel(in, m + v - 2 * s);
        break;
    case 3: // Mix
        hscVolume_Change();
        break;
    case 4: // Cut
        setLevel(out, m);
        setLevel(in, m - v);
        if (Deck* d = deck(out))
            d->StopFile();
        break;
    default:
        break;
    }
}

// --- Position monitor --------------------------------------------------------------

void PlaybackEngine::tmrPosition_Timer() {
    auto position = [this]() -> int64_t {
        Deck* d = deck(CurrentDeck);
        return d ? d->Position() : 0;
    };

    m_display.lblTotal = SegToMin(static_cast<double>(static_cast<int64_t>(SongEnd) - SongStart));
    emit totalTextChanged(m_display.lblTotal);
    m_display.lblTimeLeft = SegToMin(SongEnd - position());
    emit timeLeftTextChanged(m_display.lblTimeLeft);
    m_display.lblPosition = SegToMin(position() - SongStart);
    emit positionTextChanged(m_display.lblPosition);

    PositionUpdating = 1;
    const int64_t sliderValue = position() - SongStart;
    if (fits16(sliderValue))
        hscPosition.setValue(sliderValue);
    PositionUpdating = 0;

    if (m_halted)
        return;
    // An output gone with nothing to take over freezes the position: the song would never
    // reach its transition point while the status kept saying "Play".
    if (Deck* d = deck(CurrentDeck); d && d->outputLost()) {
        halt(NoOutputNotice);
        return;
    }
    if (position() < static_cast<int64_t>(SongEnd) - TransitionTime)
        return;

    if (chkRndPlay.value() == 1) {
        const double r = drawRandom();
        const int64_t index = static_cast<int64_t>(r * listCount() + 1);
        if (fits16(index))
            CurrentIndex = static_cast<int16_t>(index);
    } else if (CurrentIndex < std::numeric_limits<int16_t>::max()) {
        ++CurrentIndex;
    }
    DoTransition();
}

// --- Mixer -------------------------------------------------------------------------

void PlaybackEngine::hscVolume_Change() {
    const int v = hscVolume.value();
    const int m = hscVolume.maximum();
    if (CurrentDeck == 0 || CurrentDeck == 1)
        vscVolume[CurrentDeck].setValue(m - v);
    const int p = m > 0 ? percent(v, m) : 0;
    m_display.lblMasterVolume = QString::number(p) + QLatin1Char('%');
    emit masterVolumeTextChanged(m_display.lblMasterVolume);
    m_display.prgMasterVolume = p;
    emit masterVolumePercentChanged(p);
}

void PlaybackEngine::vscVolume_Change(int i) {
    if (i != 0 && i != 1)
        return;
    const int a = vscVolume[i].value();
    const int m = vscVolume[i].maximum();
    const int p = m > 0 ? percent(m - a, m) : 0;
    if (Deck* d = deck(i))
        d->setVolume(-(a * a));
    m_display.lblVolume[i] = QString::number(p);
    emit deckVolumeTextChanged(i, m_display.lblVolume[i]);
    m_display.prgVolume[i] = p;
    emit deckVolumePercentChanged(i, p);
}

void PlaybackEngine::hscPosition_Change() {
    const int value = hscPosition.value();
    const int maximum = hscPosition.maximum();
    const int p = maximum >= 1 ? percent(value, maximum) : 0;
    m_display.prgPosition = p;
    emit positionPercentChanged(p);
    m_display.lblPosition = SegToMin(value);
    emit positionTextChanged(m_display.lblPosition);
    m_display.lblTimeLeft = SegToMin(static_cast<int64_t>(SongEnd) - SongStart - value);
    emit timeLeftTextChanged(m_display.lblTimeLeft);
    if (PositionUpdating != 1) {
        const int64_t target = static_cast<int64_t>(value) + SongStart;
        if (Deck* d = deck(CurrentDeck); d && fits32(target))
            d->setPosition(static_cast<int32_t>(target));
    }
}

void PlaybackEngine::optTransition_Click(int index) {
    TransitionType = static_cast<int16_t>(index);
}

void PlaybackEngine::spinTransitionTime_Change() {
    TransitionTime = spinTransitionTime.value();
    m_display.lblTransitionTime = QString::number(TransitionTime);
    emit transitionTimeTextChanged(m_display.lblTransitionTime);
}

void PlaybackEngine::spinCutFirst_Change() {
    CutFirst = spinCutFirst.value();
    m_display.lblCutFirst = QString::number(CutFirst);
    emit cutFirstTextChanged(m_display.lblCutFirst);
}

void PlaybackEngine::spinCutLast_Change() {
    CutLast = spinCutLast.value();
    m_display.lblCutLast = QString::number(CutLast);
    emit cutLastTextChanged(m_display.lblCutLast);
}

void PlaybackEngine::cmbOutputDevices_Click(const QString& name) {
    m_outputDevice = name;
    Decks[0].reset();
    Decks[1].reset();
    Decks[0] = m_factory ? m_factory() : nullptr;
    Decks[1] = m_factory ? m_factory() : nullptr;
    for (auto& d : Decks)
        if (d)
            d->setOutputDevice(m_outputDevice);
}

} // namespace volaro::playback
