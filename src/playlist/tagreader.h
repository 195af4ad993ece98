#pragma once

// TagReader: reads the song details of one media file through TagLib.
//
// Call order: setFilename, then ReadTag, then any of the getters. A detail the tag lacks,
// or any detail after a failed ReadTag, reads as empty text (or 0 for the numbers); a year
// of 0 reads as empty text. ID3v1, ID3v2.2-2.4, APE, the tags of WAV files and those of the other
// kinds TagLib knows are read, the kind being recognised from the content, not the name. Reading
// costs a few small reads whatever the file's size.
//
// Threading: one instance per thread; no shared state.

#include <QString>
#include <cstddef>

namespace TagLib {
class IOStream;
class PropertyMap;
class Tag;
} // namespace TagLib

namespace volaro::playlist {

class TagReader {
public:
    void setFilename(const QString& path);
    QString Filename() const { return m_path; }
    // Reads the tag of the file set last. False when the file has no readable tag.
    bool ReadTag();
    // The same for a file's content held in memory (the file name plays no part).
    bool readTagFromBytes(const char* data, std::size_t size);

    QString Album() const { return m_album; }
    QString Artist() const { return m_artist; }
    QString Comment() const { return m_comment; }
    QString Title() const { return m_title; }
    QString Year() const { return m_year; }
    QString Genre() const { return m_genre; }
    // The album's artist (a compilation's "Various Artists"), and the song's place on the
    // album: disc and track number ("3/12" reads 3).
    QString albumArtist() const { return m_albumArtist; }
    int disc() const { return m_disc; }
    int track() const { return m_track; }
    int tracks() const { return m_tracks; } // on the disc ("3/12" reads 12)

private:
    bool readFrom(TagLib::IOStream& stream);
    void clearDetails();
    void fillEmpty(const TagLib::Tag& tag, const TagLib::PropertyMap& properties);

    QString m_path;
    QString m_album, m_artist, m_comment, m_title, m_year, m_genre, m_albumArtist;
    int m_disc = 0, m_track = 0, m_tracks = 0;
};

} // namespace volaro::playlist
