#pragma once

// Tagged media files for the playlist tests, written with LAME or FFmpeg (through the shared
// fixture generators) and TagLib; ID3v2.2, which TagLib cannot write, is built by hand.

#include <QMap>
#include <QString>

namespace volaro::fixtures {

struct SongTags {
    QString title, artist, album, comment, genre;
    unsigned year = 0;
};

enum class TagKind {
    None,
    Id3v1,
    Id3v22,       // Latin-1 text frames, hand-built
    Id3v23Latin1, // ISO-8859-1 frames
    Id3v23Utf16,  // UTF-16 with BOM
    Id3v24Utf8,   // UTF-8 frames
    Ape,
    WavId3v2, // WAV file (path should end in .wav) with an ID3v2 chunk
    WavInfo,  // WAV file with a RIFF INFO list
    // FFmpeg-encoded songs tagged in their own form: MP4 atoms, Vorbis comments in Opus,
    // ASF attributes, APE in WavPack
    Mp4Aac,
    Mp4Alac,
    Opus,
    Wma,
    WavPack
};

// A short quiet song at path carrying the tags in the given form.
bool writeTaggedSong(const QString& path, const SongTags& tags, TagKind kind);
// Sets TagLib properties ("TITLE", "ALBUM", "TRACKNUMBER" as "3/12", ...) of an existing song
// of any kind TagLib writes.
bool tagSong(const QString& path, const QMap<QString, QString>& properties);

} // namespace volaro::fixtures
