// The main window's settings: read at start-up, written at shutdown.

#include "app/frmplayer.h"
#include "app/settingsconvert.h"
#include "base/settingsstore.h"
#include "base/twips.h"

#include <QScreen>
#include <iterator>

namespace volaro::app {

using base::pixelsToTwips;

using namespace volaro::playback;

namespace {

namespace keys = base::settings;

// Whole-number settings, in the order they are saved. A stored value outside its key's
// range, or one the engine's setter refuses, gives the key's default.
struct StoredNumber {
    const base::SettingKey& key;
    int (*get)(const frmPlayer&);
    bool (*set)(frmPlayer&, int64_t);
};

PlaybackEngine& engineOf(const frmPlayer& w) {
    return const_cast<frmPlayer&>(w).engine();
}

// An engine switch stored as "0" (off) or "1".
template <bool (PlaybackEngine::*Get)() const, void (PlaybackEngine::*Set)(bool)>
constexpr StoredNumber engineSwitch(const base::SettingKey& key) {
    return {key, [](const frmPlayer& w) { return int((engineOf(w).*Get)()); },
            [](frmPlayer& w, int64_t v) {
                (w.engine().*Set)(v == 1);
                return true;
            }};
}

// The engine holds the ranges of its values; the stored keys must agree with it.
static_assert(keys::TransitionTime.min == PlaybackEngine::MinTransitionSeconds &&
              keys::TransitionTime.max == PlaybackEngine::MaxTransitionSeconds);
static_assert(keys::TransitionType.max == TransitionTypeCount - 1);
static_assert(keys::CutFirst.max == PlaybackEngine::MaxCut &&
              keys::CutLast.max == PlaybackEngine::MaxCut);
static_assert(keys::MasterVolume.max == PlaybackEngine::MaxLevel);

const StoredNumber StoredNumbers[] = {
    {keys::TransitionTime, [](const frmPlayer& w) { return engineOf(w).transitionSeconds(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setTransitionSeconds(v); }},
    {keys::TransitionType,
     [](const frmPlayer& w) { return static_cast<int>(engineOf(w).transitionType()); },
     [](frmPlayer& w, int64_t v) { return w.engine().setTransitionType(v); }},
    {keys::CutFirst, [](const frmPlayer& w) { return engineOf(w).cutFirst(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setCutFirst(v); }},
    {keys::CutLast, [](const frmPlayer& w) { return engineOf(w).cutLast(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setCutLast(v); }},
    engineSwitch<&PlaybackEngine::shuffle, &PlaybackEngine::setShuffle>(keys::Shuffle),
    {keys::MasterVolume, [](const frmPlayer& w) { return engineOf(w).masterLevel(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setMasterLevel(v); }},
    engineSwitch<&PlaybackEngine::levelLoudness, &PlaybackEngine::setLevelLoudness>(
        keys::LevelLoudness),
    engineSwitch<&PlaybackEngine::skipSilence, &PlaybackEngine::setSkipSilence>(keys::SkipSilence),
    engineSwitch<&PlaybackEngine::keepAlbumsWhole, &PlaybackEngine::setKeepAlbumsWhole>(
        keys::KeepAlbumsWhole),
    engineSwitch<&PlaybackEngine::matchBeats, &PlaybackEngine::setMatchBeats>(keys::MatchBeats),
    {keys::RestoreList, [](const frmPlayer& w) { return int(w.restoresList()); },
     [](frmPlayer& w, int64_t v) {
         w.setRestoresList(v == 1);
         return true;
     }},
    {keys::ShowOptions, [](const frmPlayer& w) { return int(w.ShowOptions); },
     [](frmPlayer& w, int64_t v) {
         w.ShowOptions = static_cast<int16_t>(v);
         return true;
     }},
};

// A stored single-precision number within the key's range, or its default.
double readSingle(const base::SettingsStore& store, const base::SettingKey& key) {
    const auto v = settingToSingle(store.read(key, QString::number(key.defaultValue)));
    return v && *v >= key.min && *v <= key.max ? *v : key.defaultValue;
}

} // namespace

void frmPlayer::GetSettings() {
    for (const StoredNumber& n : StoredNumbers) {
        const auto def = static_cast<int64_t>(n.key.defaultValue);
        const auto stored =
            settingToInteger(m_settings.read(n.key, QString::number(def)),
                             static_cast<int64_t>(n.key.min), static_cast<int64_t>(n.key.max));
        if (!stored || !n.set(*this, *stored))
            n.set(*this, def);
    }

    double top = readSingle(m_settings, keys::WindowTop);
    double left = readSingle(m_settings, keys::WindowLeft);
    const double height = readSingle(m_settings, keys::WindowHeight);
    const QScreen* screen = this->screen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    if (top > pixelsToTwips(area.height()))
        top = keys::WindowTop.defaultValue;
    if (left > pixelsToTwips(area.width()))
        left = keys::WindowLeft.defaultValue;
    setGeometryTwips(top, left, height);
}

QString frmPlayer::SaveSettings() {
    const size_t last = std::size(StoredNumbers) - 1;
    for (size_t i = 0; i <= last; ++i) {
        const StoredNumber& n = StoredNumbers[i];
        // The window's place comes just before ShowOptions; a window dragged to the top
        // edge keeps the place stored before.
        if (i == last && topTwips() > keys::WindowTop.defaultValue) {
            m_settings.write(keys::WindowTop, singleToSetting(static_cast<float>(topTwips())));
            m_settings.write(keys::WindowLeft, singleToSetting(static_cast<float>(leftTwips())));
            m_settings.write(keys::WindowHeight,
                             singleToSetting(static_cast<float>(heightTwips())));
        }
        m_settings.write(n.key, QString::number(n.get(*this)));
    }
    return m_settings.flush();
}

} // namespace volaro::app
