#include "playlistedit.h"

#include "cliplistmodel.h"
#include "cliplistview.h"
#include "playlistfile.h"

#include <algorithm>

void DeleteSelectedItems(ClipListModel& list) {
    list.removeSelected();
}

void ClearList(ClipListModel& list) {
    list.clear();
}

void SortByHeader(ClipListModel& list, int header, int16_t& LastSortColumn,
                  int32_t& LastSortOrder) {
    if (header < 1 || header > ClipListModel::ColumnCount)
        return;
    if (header != LastSortColumn)
        LastSortColumn = static_cast<int16_t>(header);
    else
        LastSortOrder = LastSortOrder == 0 ? 1 : 0;
    list.setSortOrder(LastSortOrder);
    list.setSortKey(header - 1);
    list.sortNow();
}

void RandomOrder(ClipListModel& list, const std::function<double()>& Rnd) {
    const int n = list.count();
    if (n == 0)
        return;
    for (int i = 1; i <= n; ++i) {
        const double r = Rnd ? Rnd() : 0.0;
        const long long value = static_cast<long long>(r * n + 1);
        list.setText(i, ClipListModel::ColAzar,
                     QString::number(value).rightJustified(6, QLatin1Char('0')));
    }
    list.setSortOrder(0);
    list.setSortKey(ClipListModel::ColAzar);
    list.sortNow();
}

void DropFiles(ClipListModel& list, const QStringList& paths, int32_t position,
               ListProgress* progress) {
    int notAdded = 0;
    for (int i = 0; i < paths.size(); ++i) {
        // A list file among them adds its rows at the end, or none at all; a position past
        // the end then means the end, so no later file is refused.
        const int64_t at = std::min<int64_t>(int64_t(position) + i, list.count() + 1);
        notAdded += OpenFile(paths[i], false, static_cast<int32_t>(at), list, progress);
    }
    if (progress)
        progress->showOutcome(notAdded);
}

void DeleteSelectedItems(ClipListView& list) {
    DeleteSelectedItems(list.clipModel());
}

void ClearList(ClipListView& list) {
    ClearList(list.clipModel());
}

void SortByHeader(ClipListView& list, int header, int16_t& LastSortColumn, int32_t& LastSortOrder) {
    SortByHeader(list.clipModel(), header, LastSortColumn, LastSortOrder);
}

void RandomOrder(ClipListView& list, const std::function<double()>& Rnd) {
    RandomOrder(list.clipModel(), Rnd);
}

void AcceptPlaylistDrops(ClipListView& view, ListProgress* progress) {
    view.setAcceptFileDrops(true);
    QObject::connect(&view, &ClipListView::filesDropped, &view,
                     [&view, progress](const QStringList& paths, int position) {
                         DropFiles(view.clipModel(), paths, position, progress);
                     });
}
