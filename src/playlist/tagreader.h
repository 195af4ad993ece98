#pragma once

// TagReader: reads the song details of one media file through TagLib.
//
// Call order: setFilename, then ReadTag, then any of the six getters. A detail the tag
// lacks, or any detail after a failed ReadTag, reads as empty text; a year of 0 reads as
// empty text. ID3v1, ID3v2.2-2.4, APE and the tags of WAV files are read (whichever
// TagLib picks from the file's name).
//
// Threading: one instance per thread; no shared state.

#include <QString>

namespace TagLib {
class Tag;
}

class TagReader {
public:
    void setFilename(const QString& path);
    QString Filename() const { return m_path; }
    // Reads the tag of the file set last. False when the file has no readable tag.
    bool ReadTag();

    QString Album() const { return m_album; }
    QString Artist() const { return m_artist; }
    QString Comment() const { return m_comment; }
    QString Title() const { return m_title; }
    QString Year() const { return m_year; }
    QString Genre() const { return m_genre; }

private:
    void clearDetails();
    void fillEmpty(const TagLib::Tag& tag);

    QString m_path;
    QString m_album, m_artist, m_comment, m_title, m_year, m_genre;
};
