#pragma once

// Generated dance tracks for beat tests: a steady four-beat pattern with a low, loud kick
// on every downbeat, a softer kick on the other beats and a short tonal hi-hat on every
// beat, at a pitch of the song's own (so that a capture of two songs tells them apart).
// Before the first beat comes a silent intro, then a few pick-up beats, so that the first
// downbeat is neither the start of the file nor the first beat.

#include <QString>
#include <vector>

namespace volaro::fixtures {

struct DrumPattern {
    double bpm = 120;
    double seconds = 30;
    double intro = 1.0;  // silence before the first beat
    int pickupBeats = 1; // beats before the first downbeat
    int beatsPerBar = 4;
    double hihatHz = 7000;
    int sampleRate = 44100;

    double beatSeconds() const { return 60.0 / bpm; }
    double firstDownbeat() const { return intro + pickupBeats * beatSeconds(); }
};

// Interleaved stereo samples.
std::vector<float> renderDrums(const DrumPattern& p);
// As a 16-bit WAV.
bool writeDrums(const QString& path, const DrumPattern& p);

} // namespace volaro::fixtures
