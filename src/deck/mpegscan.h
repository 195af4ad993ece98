#pragma once

// A fast walk over the frame headers of an MPEG audio stream, counting the samples a
// decoder will deliver. It is what makes the exact length of a file without a LAME header
// cheap: no frame body is parsed, only the 4-byte headers.
//
// Every search is bounded the way libmpg123 bounds its own, so that the walk agrees with
// what is decoded and no file, however large or broken, makes it read much more than its
// audio: at most 64 KiB of junk before the first frame, and after a frame at most 1 KiB
// to find something that looks like a header, then 64 KiB to find one that is confirmed.

#include "deck/mediabytes.h"

#include <cstdint>

namespace volaro::deck {

struct MpegScan {
    bool ok = false;     // false: not MPEG audio, or a stream the walk cannot follow
    int64_t start = -1;  // offset of the first frame; -1 when there is none
    int64_t samples = 0; // per channel, every audio frame counted
    int64_t frames = 0;  // audio frames (an info frame at the start is not one)
    int sampleRate = 0;
    int samplesPerFrame = 0;
    bool infoFrame = false; // a Xing/Info frame came first
};

// Skips leading ID3v2 tags and finds the first frame confirmed by the one after it (or by
// the end of the data); only start, sampleRate and samplesPerFrame are set. A free-format
// stream (no bit rate in the header) is found only where the audio starts, and then only
// start is set: its frames cannot be walked.
MpegScan findFirstMpegFrame(MediaReader& in);

// The whole walk from the first frame, resynchronising over junk and tags between frames
// like the decoder does.
MpegScan scanMpegFrames(MediaReader& in);

} // namespace volaro::deck
