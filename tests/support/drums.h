#pragma once

// Dance tracks for beat tests: a loud kick on each downbeat, a softer one on the other beats,
// a hi-hat of the song's own pitch on every beat (a capture of two songs tells them apart).
// A silent intro and pick-up beats first: the first downbeat is not the start nor the first beat.

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
