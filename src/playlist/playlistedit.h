#pragma once

// Editing the playlist: deleting selected rows, clearing, sorting on a header click,
// random order and adding dropped files. None of these touches playback; the model keeps
// its playing row on the playing song.
//
// Threading: GUI thread only.

#include <QStringList>
#include <Qt>
#include <cstdint>
#include <functional>

namespace volaro::playlist {

class ClipListModel;
class ClipListView;
struct ListProgress;

// Removes every selected row; the playing row drops by the number removed at or before it.
void DeleteSelectedItems(ClipListModel& list);
// Removes every row; the playing row becomes 0.
void ClearList(ClipListModel& list);

// The header-click rule of every clip list: header is 1..10 from the left. A new header
// keeps the last order, the same header again flips it; then the list sorts by it once.
struct HeaderSort {
    int lastHeader = 0; // 0 before the first click
    Qt::SortOrder order = Qt::AscendingOrder;
    void click(ClipListModel& list, int header);
};

// Writes column 8 (Azar) of every row as int(Rnd() * n + 1) in at least six digits and
// sorts ascending by it. Rnd is the program's one generator (0 <= r < 1), not reseeded
// here. The caller then shows the playing row (Show Item In Play).
void RandomOrder(ClipListModel& list, const std::function<double()>& Rnd);

// Adds dropped paths: the i-th (from 0) through OpenFile at position + i, or at the end
// when that lies past it, so media files form a run before the row that was under the
// pointer (position count + 1 appends) and list files are appended. Ends with the web
// address back in the status panel, or with how many entries a full list refused.
void DropFiles(ClipListModel& list, const QStringList& paths, int32_t position,
               const ListProgress* progress = nullptr);

// Connects the view's drops to DropFiles (the playlist; a result list only drags out).
void AcceptPlaylistDrops(ClipListView& view, const ListProgress* progress = nullptr);

} // namespace volaro::playlist
