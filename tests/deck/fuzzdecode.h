#pragma once

// What the decoder fuzz targets do with a decoder that opened: measure, decode, seek and
// decode again, as a deck would. Anything may be refused; nothing may crash or hang.

#include "deck/decoder.h"

#include <cstdint>
#include <vector>

inline void exerciseDecoder(volaro::deck::Decoder& decoder) {
    std::vector<float> buf(1152 * static_cast<size_t>(decoder.channels()));
    // Bounded: a damaged header may claim any length.
    constexpr int64_t MaxFrames = 4 * 1024 * 1024;
    int64_t total = 0;
    for (long n; total < MaxFrames && (n = decoder.read(buf.data(), 1152)) > 0;)
        total += n;
    const int64_t length = decoder.lengthFrames();
    for (int64_t at : {length / 2, length, int64_t(0), length + 1000}) {
        decoder.seek(at);
        decoder.read(buf.data(), 1152);
    }
}
