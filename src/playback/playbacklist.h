#pragma once

// PlaybackList: the view of the playlist the engine needs. Rows are 1-based as the
// engine counts them. The list owns the playing row (CurrentIndex) and keeps it on its
// song while rows are inserted, removed or reordered; the engine reads and moves it here.
// The window adapts it to the real list model.
//
// Threading: GUI thread only.

#include "base/albumplace.h"

#include <QString>

namespace volaro::playback {

class PlaybackList {
public:
    virtual ~PlaybackList() = default;

    // Number of rows, read afresh on every use.
    virtual int count() const = 0;
    // The file's path (Location) of row `row`, 1 <= row <= count().
    virtual QString location(int row) const = 0;
    // Where the song of `row` sits on its album (from its tags).
    virtual base::AlbumPlace albumPlace(int row) const = 0;
    // Writes the duration (TotLength) and the playable length (Length) texts of `row`.
    virtual void setLengths(int row, const QString& totLength, const QString& length) = 0;
    // CurrentIndex: 1-based row in play; 0 past the end; -1 list found empty.
    virtual int currentRow() const = 0;
    virtual void setCurrentRow(int row) = 0;
    // 1-based index of the list's selected item; 0 when none is selected.
    virtual int selectedIndex() const = 0;
    // Clears the selected state of row `row`.
    virtual void clearSelection(int row) = 0;
    // Multi-selection off, row `row` becomes the selected item and is scrolled into
    // view, multi-selection back on.
    virtual void showItem(int row) = 0;
};

} // namespace volaro::playback
