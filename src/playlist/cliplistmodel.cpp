#include "playlist/cliplistmodel.h"

#include "base/filename.h"

#include <QFileInfo>
#include <algorithm>
#include <numeric>

namespace volaro::playlist {

namespace {
const char* const HeaderTexts[ClipListModel::ColumnCount] = {
    "Title", "Length", "Artist", "Cd", "Year", "Genre", "Comment", "Location", "Azar", "TotLength"};
} // namespace

// ---- ClipListModel ---------------------------------------------------------------------

ClipListModel::ClipListModel(QObject* parent)
    : QAbstractTableModel(parent) {}

int ClipListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}
int ClipListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClipListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || index.column() >= ColumnCount)
        return {};
    const QString& text = m_rows[index.row()].texts[index.column()];
    if (role == Qt::EditRole)
        return text;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        // Laying out a text of megabytes (a junk line of a list file) takes the view
        // seconds per paint; no title or path needs more than this to be recognised.
        if (text.size() > MaxShownChars)
            return base::readableName(text.left(MaxShownChars) + QChar(0x2026));
        return base::readableName(text);
    }
    return {};
}

bool ClipListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= count())
        return false;
    setText(index.row() + 1, index.column(), value.toString());
    return true;
}

QVariant ClipListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return headerText(section);
    if (role == Qt::UserRole)
        return headerTag(section);
    return {};
}

Qt::ItemFlags ClipListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QString ClipListModel::headerText(int column) {
    return (column >= 0 && column < ColumnCount) ? QString::fromLatin1(HeaderTexts[column])
                                                 : QString();
}
QString ClipListModel::headerTag(int column) {
    return (column >= 0 && column < ColumnCount) ? QString::number(11000 + column) : QString();
}

const ClipRow* ClipListModel::row(int index) const {
    return (index >= 1 && index <= count()) ? &m_rows[index - 1] : nullptr;
}

QString ClipListModel::text(int index, int column) const {
    const ClipRow* r = row(index);
    return (r && column >= 0 && column < ColumnCount) ? r->texts[column] : QString();
}

base::AlbumPlace ClipListModel::albumPlace(int index) const {
    const ClipRow* r = row(index);
    if (!r)
        return {};
    return {r->texts[ColCd], r->albumArtist, r->texts[ColArtist], r->disc, r->track, r->tracks};
}

void ClipListModel::emitRowChanged(int row0) {
    emit dataChanged(this->index(row0, 0), this->index(row0, ColumnCount - 1));
}

void ClipListModel::setText(int index, int column, const QString& text) {
    if (index < 1 || index > count() || column < 0 || column >= ColumnCount)
        return;
    m_rows[index - 1].texts[column] = text;
    const QModelIndex mi = this->index(index - 1, column);
    emit dataChanged(mi, mi, {Qt::DisplayRole});
}

bool ClipListModel::isSelected(int index) const {
    const ClipRow* r = row(index);
    return r && r->selected;
}

void ClipListModel::setSelected(int index, bool on) {
    if (index < 1 || index > count() || m_rows[index - 1].selected == on)
        return;
    m_rows[index - 1].selected = on;
    emitRowChanged(index - 1);
    emit selectionFlagsChanged();
}

void ClipListModel::setAllSelected(bool on) {
    bool changed = false;
    for (ClipRow& r : m_rows) {
        changed = changed || r.selected != on;
        r.selected = on;
    }
    if (changed && count() > 0) {
        emit dataChanged(index(0, 0), index(count() - 1, ColumnCount - 1));
        emit selectionFlagsChanged();
    }
}

int ClipListModel::selectedCount() const {
    return static_cast<int>(
        std::count_if(m_rows.cbegin(), m_rows.cend(), [](const ClipRow& r) { return r.selected; }));
}

QList<int> ClipListModel::selectedIndexes() const {
    QList<int> out;
    for (int i = 0; i < count(); ++i)
        if (m_rows[i].selected)
            out.append(i + 1);
    return out;
}

QList<QUrl> ClipListModel::selectedUrls() const {
    QList<QUrl> urls;
    for (const ClipRow& r : m_rows) {
        if (!r.selected)
            continue;
        const QString& location = r.texts[ColLocation];
        if (location.isEmpty())
            continue;
        // A file manager needs absolute paths; relative Locations are taken from here.
        urls.append(base::fileUrl(QFileInfo(location).absoluteFilePath()));
    }
    return urls;
}

bool ClipListModel::insertRow(int index, ClipRow row) {
    if (index < 1 || index > count() + 1 || count() >= MaxRows)
        return false;
    beginInsertRows({}, index - 1, index - 1);
    m_rows.insert(index - 1, std::move(row));
    endInsertRows();
    if (index <= m_playingRow && m_playingRow < MaxRows)
        setPlayingRow(m_playingRow + 1);
    return true;
}

int ClipListModel::appendRows(QList<ClipRow> rows) {
    const int n = static_cast<int>(std::min<qsizetype>(rows.size(), MaxRows - count()));
    if (n <= 0)
        return 0;
    rows.resize(n);
    beginInsertRows({}, count(), count() + n - 1);
    m_rows.append(std::move(rows));
    endInsertRows();
    return n;
}

void ClipListModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
    setPlayingRow(0);
    emit selectionFlagsChanged();
}

int ClipListModel::removeSelected() {
    // Contiguous runs of selected rows, top to bottom.
    QList<std::pair<int, int>> runs; // first row0, length
    int removedAtOrBeforeCurrent = 0;
    const int current = m_playingRow;
    for (int i = 0; i < count(); ++i) {
        if (!m_rows[i].selected)
            continue;
        if (i + 1 <= current)
            ++removedAtOrBeforeCurrent;
        if (!runs.isEmpty() && runs.last().first + runs.last().second == i)
            ++runs.last().second;
        else
            runs.append({i, 1});
    }
    if (runs.isEmpty())
        return 0;
    int removed = 0;
    if (runs.size() <= 8) {
        // Few runs: remove them bottom-up so the view keeps its scroll position.
        for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
            beginRemoveRows({}, it->first, it->first + it->second - 1);
            m_rows.remove(it->first, it->second);
            endRemoveRows();
            removed += it->second;
        }
    } else {
        // Many runs (every second row, say): one pass instead of thousands of shifts.
        beginResetModel();
        QList<ClipRow> kept;
        kept.reserve(count());
        for (ClipRow& r : m_rows) {
            if (r.selected)
                ++removed;
            else
                kept.append(std::move(r));
        }
        m_rows = std::move(kept);
        endResetModel();
    }
    // Removing row i with i <= CurrentIndex moves CurrentIndex up one; from the top this
    // adds up to the selected rows at or before the original CurrentIndex.
    setPlayingRow(m_playingRow - removedAtOrBeforeCurrent);
    emit selectionFlagsChanged();
    return removed;
}

void ClipListModel::setPlayingRow(int row) {
    if (row == m_playingRow)
        return;
    m_playingRow = row;
    emit playingRowChanged(row);
}

void ClipListModel::sortBy(Column column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount || count() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();

    const int n = count();
    QList<QString> folded(n);
    for (int i = 0; i < n; ++i)
        folded[i] = m_rows[i].texts[column].toCaseFolded();
    std::vector<int> order0(n);
    std::iota(order0.begin(), order0.end(), 0);
    if (order == Qt::AscendingOrder)
        std::stable_sort(order0.begin(), order0.end(),
                         [&](int a, int b) { return folded[a] < folded[b]; });
    else
        std::stable_sort(order0.begin(), order0.end(),
                         [&](int a, int b) { return folded[b] < folded[a]; });

    QList<ClipRow> sorted;
    sorted.reserve(n);
    std::vector<int> newRowOf(n);
    for (int k = 0; k < n; ++k) {
        sorted.append(std::move(m_rows[order0[k]]));
        newRowOf[order0[k]] = k;
    }
    m_rows = std::move(sorted);

    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& p : persistent)
        moved.append(index(newRowOf[p.row()], p.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    if (m_playingRow >= 1 && m_playingRow <= n)
        setPlayingRow(newRowOf[m_playingRow - 1] + 1);
}

} // namespace volaro::playlist
