#pragma once

// A fast walk over the frame headers of an MPEG audio stream held in memory, counting the
// samples a decoder will deliver. It is what makes the exact length of a file without a
// LAME header cheap: no frame body is copied or parsed, only the 4-byte headers.

#include <cstddef>
#include <cstdint>

namespace volaro::deck {

struct MpegScan {
    bool ok = false;     // false: not MPEG audio, or a stream the walk cannot follow
    int64_t samples = 0; // per channel, every audio frame counted
    int64_t frames = 0;  // audio frames (an info frame at the start is not one)
    int sampleRate = 0;
    int samplesPerFrame = 0;
    bool infoFrame = false; // a Xing/Info frame came first
};

// Skips leading ID3v2 tags, finds the first frame confirmed by the one after it (or by
// the end of the data), and walks on, resynchronising over junk between frames like a
// decoder does. Free-format streams (no bit rate in the header) are refused.
MpegScan scanMpegFrames(const uint8_t* data, std::size_t size);

} // namespace volaro::deck
