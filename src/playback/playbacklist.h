#pragma once

// PlaybackList: the view of the playlist the engine needs. Rows are 1-based as the
// engine counts them; columns are the song record's sub-item numbers (1 Length,
// 7 Location, 9 TotLength). The window adapts it to the real list view.
//
// Threading: GUI thread only.

#include <QString>

namespace volaro::playback {

class PlaybackList {
public:
    virtual ~PlaybackList() = default;

    // Number of rows, read afresh on every use.
    virtual int count() const = 0;
    // Column 7 (the file's path) of row `row`, 1 <= row <= count().
    virtual QString location(int row) const = 0;
    // Writes sub-item `column` (1 or 9) of row `row`.
    virtual void setSubItem(int row, int column, const QString& text) = 0;
    // 1-based index of the list's selected item; 0 when none is selected.
    virtual int selectedIndex() const = 0;
    // Clears the selected state of row `row`.
    virtual void clearSelection(int row) = 0;
    // Multi-selection off, row `row` becomes the selected item and is scrolled into
    // view, multi-selection back on.
    virtual void showItem(int row) = 0;
};

} // namespace volaro::playback
