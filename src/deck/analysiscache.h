#pragma once

// AnalysisCache: the analyses of songs kept on disk, so that a song is decoded for them
// once. An entry belongs to a path with the size and modification time the file had when
// it was analysed; a file that changed since misses. Failed analyses are kept too, so a
// file that does not decode is not tried again until it changes.
//
// The file is read whole at load() and written whole, atomically, at save(). Anything
// unexpected in it (another program's file, an old version, a cut or damaged write, a
// value out of range) makes load() start empty: the cache is rebuilt, never trusted.
//
// Threading: not thread-safe; one thread at a time uses an instance (the analyser guards
// its own with a lock). Copies are cheap: they share the entries until one is changed.

#include "deck/songanalysis.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace volaro::deck {

class AnalysisCache {
public:
    // What identifies one version of a file.
    struct FileKey {
        int64_t size = -1;
        int64_t modified = 0; // ms since the epoch
        bool valid() const { return size >= 0; }
        bool operator==(const FileKey&) const = default;
    };

    // $XDG_CACHE_HOME/Volaro (or the platform's equivalent).
    static QString defaultDirectory();
    // The key of the file as it is now; invalid when it is missing or not a regular file.
    static FileKey keyOf(const QString& path);

    explicit AnalysisCache(QString directory = defaultDirectory());

    QString filePath() const;
    // Replaces the entries by those of the file; false (and empty) when it is missing or
    // not wholly valid.
    bool load();
    // Writes all entries, replacing the file atomically; returns empty text, or what the
    // system reported when the directory or the file could not be written.
    QString save();
    bool dirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    std::optional<SongAnalysis> find(const QString& path, const FileKey& key) const;
    void insert(const QString& path, const FileKey& key, const SongAnalysis& analysis);
    int size() const { return int(m_entries.size()); }
    QStringList paths() const;
    void remove(const QString& path);

private:
    struct Entry {
        FileKey key;
        SongAnalysis analysis;
    };
    QString m_directory;
    QHash<QString, Entry> m_entries;
    bool m_dirty = false;
};

} // namespace volaro::deck
