#pragma once

// PlaybackList: the view of the playlist the engine needs, as hooks the owner of the real
// list fills in (all of them). Rows are 1-based as the engine counts them. The list owns
// the playing row (CurrentIndex) and keeps it on its song while rows are inserted, removed
// or reordered; the engine reads and moves it here.
//
// Threading: GUI thread only.

#include "base/albumplace.h"

#include <QString>
#include <functional>

namespace volaro::playback {

struct PlaybackList {
    // Number of rows, read afresh on every use.
    std::function<int()> count;
    // The file's path (Location) of row `row`, 1 <= row <= count().
    std::function<QString(int row)> location;
    // Where the song of `row` sits on its album (from its tags).
    std::function<base::AlbumPlace(int row)> albumPlace;
    // Writes the duration (TotLength) and the playable length (Length) texts of `row`.
    std::function<void(int row, const QString& totLength, const QString& length)> setLengths;
    // CurrentIndex: 1-based row in play; 0 past the end; -1 list found empty.
    std::function<int()> currentRow;
    std::function<void(int row)> setCurrentRow;
    // 1-based index of the list's selected item; 0 when none is selected.
    std::function<int()> selectedIndex;
    // Clears the selected state of row `row`.
    std::function<void(int row)> clearSelection;
    // Multi-selection off, row `row` becomes the selected item and is scrolled into
    // view, multi-selection back on.
    std::function<void(int row)> showItem;
};

} // namespace volaro::playback
