#pragma once

// Every value the player keeps in the settings store, declared once: the section and key
// as stored, the default, and the range a stored value must lie in to be taken. A stored
// value outside it (a file edited by hand or by another version) gives the default, and
// the file heals at the next exit. Readers and writers go through these declarations only.

#include <limits>

namespace volaro::base {

struct SettingKey {
    const char* section;
    const char* key;
    double defaultValue;
    double min;
    double max;
};

namespace settings {

inline constexpr double Unbounded = std::numeric_limits<float>::max();

// Whole numbers.
inline constexpr SettingKey TransitionTime{"Transitions", "TransitionTime", 1, 1, 100};
inline constexpr SettingKey TransitionType{"Transitions", "TransitionType", 0, 0, 4};
inline constexpr SettingKey CutFirst{"Trimming", "CutFirst", 0, 0, 100};
inline constexpr SettingKey CutLast{"Trimming", "CutLast", 0, 0, 100};
inline constexpr SettingKey Shuffle{"RandomPlayback", "rnd", 0, 0, 1};
inline constexpr SettingKey MasterVolume{"BasicAudio", "Volume", 64, 0, 85};
inline constexpr SettingKey LevelLoudness{"Extras", "LevelLoudness", 0, 0, 1};
inline constexpr SettingKey SkipSilence{"Extras", "SkipSilence", 0, 0, 1};
inline constexpr SettingKey KeepAlbumsWhole{"Extras", "KeepAlbumsWhole", 0, 0, 1};
inline constexpr SettingKey MatchBeats{"Extras", "MatchBeats", 0, 0, 1};
// The list and its playing row come back at the next start (kept apart from the settings).
inline constexpr SettingKey RestoreList{"Extras", "RestoreList", 1, 0, 1};
inline constexpr SettingKey ShowOptions{"ShowOptions", "ShowOptions", 1, 0, 1};

// The main window's place in twips, as single-precision numbers. Top and left are also
// checked against the screen when they are read.
inline constexpr SettingKey WindowTop{"Window", "Top", 100, -Unbounded, Unbounded};
inline constexpr SettingKey WindowLeft{"Window", "Left", 100, -Unbounded, Unbounded};
inline constexpr SettingKey WindowHeight{"Window", "Height", 7000, 5000, Unbounded};

// Text: the folder the search window shows; by default the user's home folder.
inline constexpr SettingKey SearchDirectory{"Directory", "DefaultDir", 0, 0, 0};

} // namespace settings
} // namespace volaro::base
