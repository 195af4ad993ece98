#pragma once

// What opening a song on a deck reports; a later failing step overrides an earlier one.
// 1 and 2: this file cannot be played; 3 and 4: no output can take the sound, whatever the
// file.

#include <cstdint>

namespace volaro::deck {

enum OpenStatus : int16_t {
    OpenOk = 0,
    OpenNoFile = 1,      // missing, unreadable, a directory or empty
    OpenNoDecoder = 2,   // nothing in the file decodes
    OpenNoOutput = 3,    // no output listed under the deck's output (trimmed, exact), now or before
    OpenOutputFailed = 4 // neither it nor the default output opens, or both are full
};

} // namespace volaro::deck
