// Fuzz entry: the bytes opened as a media file by whichever decoder takes them.

#include "deck/mediabytes.h"
#include "fuzzdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (auto decoder = volaro::deck::Decoder::open(volaro::deck::MediaBytes::copyOf(data, size)))
        exerciseDecoder(*decoder);
    return 0;
}
