#pragma once

// Where a song sits on its album, as its tags tell: what decides whether two songs that
// follow each other are one piece of music split in two (a live album, a DJ mix, a
// symphony) and should join without a transition. Zero stands for a number the tags lack.

#include <QString>

namespace volaro::base {

struct AlbumPlace {
    QString album;
    QString albumArtist;
    QString artist;
    int disc = 0;
    int track = 0;
    int tracks = 0; // on the song's disc
    bool operator==(const AlbumPlace&) const = default;
};

} // namespace volaro::base
