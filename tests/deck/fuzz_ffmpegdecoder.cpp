// Fuzz entry: the bytes opened by the FFmpeg decoder alone (MP4, Ogg, ASF, WavPack, ...),
// through our own I/O as a file would be.

#include "deck/ffmpegdecoder.h"
#include "fuzzdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (auto decoder = volaro::deck::openFfmpeg(volaro::deck::MediaBytes::copyOf(data, size)))
        exerciseDecoder(*decoder);
    return 0;
}
