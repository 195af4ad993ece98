#pragma once

// Folding frames of any channel count down to the stereo pair the decks play, with the
// ITU-R BS.775 / ATSC A/52 coefficients: front left and right as they are, the centre and
// the surrounds at -3 dB into their side (a centre or back centre into both), the
// low-frequency channel left out. Mono is heard on both sides at full level.
//
// Pure functions, no state: any thread.

#include <cstdint>
#include <vector>

namespace volaro::deck {

// Where a channel is meant to be heard.
enum class Speaker : uint8_t {
    FrontLeft,
    FrontRight,
    FrontCenter,
    LowFrequency,
    BackLeft,
    BackRight,
    FrontLeftOfCenter,
    FrontRightOfCenter,
    BackCenter,
    SideLeft,
    SideRight,
    Other // heights and unknown positions: heard on both sides at -3 dB
};

// The positions of n channels when a file does not name them: the WAVE order
// (FL FR FC LFE BL BR FLC FRC BC SL SR), mono and stereo as such.
std::vector<Speaker> defaultLayout(int channels);

// frames interleaved frames of layout.size() channels into frames stereo frames. in and
// out may not overlap.
void foldToStereo(const float* in, long frames, const std::vector<Speaker>& layout, float* out);

} // namespace volaro::deck
