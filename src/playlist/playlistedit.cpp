#include "playlist/playlistedit.h"

#include "playlist/cliplistmodel.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistfile.h"

#include <algorithm>

namespace volaro::playlist {

void DeleteSelectedItems(ClipListModel& list) {
    list.removeSelected();
}

void ClearList(ClipListModel& list) {
    list.clear();
}

void HeaderSort::click(ClipListModel& list, int header) {
    if (header < 1 || header > ClipListModel::ColumnCount)
        return;
    if (header != lastHeader)
        lastHeader = header;
    else
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    list.sortBy(static_cast<ClipListModel::Column>(header - 1), order);
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
    list.sortBy(ClipListModel::ColAzar, Qt::AscendingOrder);
}

void DropFiles(ClipListModel& list, const QStringList& paths, int32_t position,
               const ListProgress* progress) {
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

void AcceptPlaylistDrops(ClipListView& view, const ListProgress* progress) {
    view.setAcceptFileDrops(true);
    QObject::connect(&view, &ClipListView::filesDropped, &view,
                     [&view, progress](const QStringList& paths, int position) {
                         DropFiles(view.clipModel(), paths, position, progress);
                     });
}

} // namespace volaro::playlist
