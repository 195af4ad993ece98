#pragma once

// The rule of Keep Albums Whole: two songs that follow each other in play order are one
// piece of music split in two, and join without a transition, when both carry the same
// album (not empty), the same album artist (the artist, where neither has one), and
// follow on the album: track n and n + 1 of one disc, or the last track of a disc and
// track 1 of the next. Disc numbers count where both songs have them; a song without one
// is on the same disc as the other. Track numbers are needed on both songs; a track count
// that is not known lets any track be the last of its disc.
//
// Threading: a pure function.

#include "base/albumplace.h"

namespace volaro::playback {

bool joinsWhole(const base::AlbumPlace& first, const base::AlbumPlace& second);

} // namespace volaro::playback
