#include "playback/albumjoin.h"

namespace volaro::playback {

bool joinsWhole(const base::AlbumPlace& first, const base::AlbumPlace& second) {
    const QString album = first.album.trimmed();
    if (album.isEmpty() || album != second.album.trimmed())
        return false;
    const bool byAlbumArtist = !first.albumArtist.isEmpty() || !second.albumArtist.isEmpty();
    const QString firstArtist = (byAlbumArtist ? first.albumArtist : first.artist).trimmed();
    const QString secondArtist = (byAlbumArtist ? second.albumArtist : second.artist).trimmed();
    if (firstArtist != secondArtist)
        return false;
    if (first.track <= 0 || second.track <= 0)
        return false;
    const bool discs = first.disc > 0 && second.disc > 0;
    if (!discs || first.disc == second.disc)
        return second.track == first.track + 1;
    const bool lastOfDisc = first.tracks <= 0 || first.track == first.tracks;
    return lastOfDisc && second.disc == first.disc + 1 && second.track == 1;
}

} // namespace volaro::playback
