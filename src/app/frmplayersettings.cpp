// The main window's settings: read at start-up, written at shutdown.

#include "frmplayer.h"
#include "settingsconvert.h"
#include "settingsstore.h"
#include "twips.h"

#include <QScreen>
#include <iterator>

namespace volaro::app {

using system::pixelsToTwips;

using namespace volaro::playback;

namespace {

// Whole-number settings, in the order they are saved. The engine's setters hold the
// ranges: a stored value a setter refuses (a file edited by hand or by another version)
// gives the default, and the file heals at the next exit.
struct StoredNumber {
    const char* section;
    const char* key;
    int defaultValue;
    int (*get)(const frmPlayer&);
    bool (*set)(frmPlayer&, int64_t);
};

PlaybackEngine& engineOf(const frmPlayer& w) {
    return const_cast<frmPlayer&>(w).engine();
}

// An engine switch stored as "0" (off, the default) or "1"; anything else is refused.
template <bool (PlaybackEngine::*Get)() const, void (PlaybackEngine::*Set)(bool)>
constexpr StoredNumber engineSwitch(const char* section, const char* key) {
    return {section, key, 0, [](const frmPlayer& w) { return int((engineOf(w).*Get)()); },
            [](frmPlayer& w, int64_t v) {
                if (v != 0 && v != 1)
                    return false;
                (w.engine().*Set)(v == 1);
                return true;
            }};
}

const StoredNumber StoredNumbers[] = {
    {"Transitions", "TransitionTime", 1,
     [](const frmPlayer& w) { return engineOf(w).transitionSeconds(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setTransitionSeconds(v); }},
    {"Transitions", "TransitionType", 0,
     [](const frmPlayer& w) { return static_cast<int>(engineOf(w).transitionType()); },
     [](frmPlayer& w, int64_t v) { return w.engine().setTransitionType(v); }},
    {"Trimming", "CutFirst", 0, [](const frmPlayer& w) { return engineOf(w).cutFirst(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setCutFirst(v); }},
    {"Trimming", "CutLast", 0, [](const frmPlayer& w) { return engineOf(w).cutLast(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setCutLast(v); }},
    engineSwitch<&PlaybackEngine::shuffle, &PlaybackEngine::setShuffle>("RandomPlayback", "rnd"),
    {"BasicAudio", "Volume", 64, [](const frmPlayer& w) { return engineOf(w).masterLevel(); },
     [](frmPlayer& w, int64_t v) { return w.engine().setMasterLevel(v); }},
    engineSwitch<&PlaybackEngine::levelLoudness, &PlaybackEngine::setLevelLoudness>(
        "Extras", "LevelLoudness"),
    engineSwitch<&PlaybackEngine::skipSilence, &PlaybackEngine::setSkipSilence>("Extras",
                                                                                "SkipSilence"),
    {"ShowOptions", "ShowOptions", 1, [](const frmPlayer& w) { return int(w.ShowOptions); },
     [](frmPlayer& w, int64_t v) {
         if (v != 0 && v != 1)
             return false;
         w.ShowOptions = static_cast<int16_t>(v);
         return true;
     }},
};

} // namespace

void frmPlayer::GetSettings() {
    auto read = [this](const char* section, const char* key, const QString& def) {
        return m_settings.GetSetting(QString::fromLatin1(section), QString::fromLatin1(key), def);
    };
    for (const StoredNumber& n : StoredNumbers) {
        const QString def = QString::number(n.defaultValue);
        const auto stored = settingToInteger(read(n.section, n.key, def), INT32_MIN, INT32_MAX);
        if (!stored || !n.set(*this, *stored))
            n.set(*this, n.defaultValue);
    }

    double top = topTwips(), left = leftTwips(), height = heightTwips();
    if (auto v = settingToSingle(read("Window", "Top", QStringLiteral("100"))))
        top = *v;
    if (auto v = settingToSingle(read("Window", "Left", QStringLiteral("100"))))
        left = *v;
    if (auto v = settingToSingle(read("Window", "Height", QStringLiteral("7000"))))
        height = *v;
    const QScreen* screen = this->screen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    if (top > pixelsToTwips(area.height()))
        top = 100;
    if (left > pixelsToTwips(area.width()))
        left = 100;
    if (height < 5000)
        height = 7000;
    setGeometryTwips(top, left, height);
}

QString frmPlayer::SaveSettings() {
    auto write = [this](const char* section, const char* key, const QString& value) {
        m_settings.SaveSetting(QString::fromLatin1(section), QString::fromLatin1(key), value);
    };
    const size_t last = std::size(StoredNumbers) - 1;
    for (size_t i = 0; i <= last; ++i) {
        const StoredNumber& n = StoredNumbers[i];
        // The window's place comes just before ShowOptions; a window dragged to the top
        // edge keeps the place stored before.
        if (i == last && topTwips() > 100) {
            write("Window", "Top", singleToSetting(static_cast<float>(topTwips())));
            write("Window", "Left", singleToSetting(static_cast<float>(leftTwips())));
            write("Window", "Height", singleToSetting(static_cast<float>(heightTwips())));
        }
        write(n.section, n.key, QString::number(n.get(*this)));
    }
    return m_settings.flush();
}

} // namespace volaro::app
