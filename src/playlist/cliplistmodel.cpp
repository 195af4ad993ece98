#include "cliplistmodel.h"

#include <QFileInfo>
#include <algorithm>
#include <numeric>

namespace {
const char* const HeaderTexts[ClipListModel::ColumnCount] = {
    "Title", "Length", "Artist", "Cd", "Year", "Genre", "Comment", "Location", "Azar", "TotLength"};
const QString KelpoKey = QStringLiteral("kelpo");
} // namespace

// ---- ListItem ------------------------------------------------------------------------

bool ListItem::isValid() const {
    return m_model && m_index >= 1 && m_index <= m_model->count();
}
QString ListItem::Text() const {
    return m_model ? m_model->text(m_index, 0) : QString();
}
void ListItem::setText(const QString& text) {
    if (m_model)
        m_model->setText(m_index, 0, text);
}
QString ListItem::SubItems(int i) const {
    return (m_model && i >= 1 && i < ClipListModel::ColumnCount) ? m_model->text(m_index, i)
                                                                 : QString();
}
void ListItem::setSubItems(int i, const QString& text) {
    if (m_model && i >= 1 && i < ClipListModel::ColumnCount)
        m_model->setText(m_index, i, text);
}
QString ListItem::Key() const {
    return m_model ? m_model->key(m_index) : QString();
}
bool ListItem::setKey(const QString& key) {
    return m_model && m_model->setKey(m_index, key);
}
bool ListItem::Selected() const {
    return m_model && m_model->isSelected(m_index);
}
void ListItem::setSelected(bool on) {
    if (m_model)
        m_model->setSelected(m_index, on);
}

// ---- ListItemsCollection ---------------------------------------------------------------

int ListItemsCollection::Count() const {
    return m_model->count();
}
ListItem ListItemsCollection::Add(int Index, const QString& Text, const QString& Key) {
    if (!Key.isEmpty() && m_model->findKey(Key) != 0)
        return {};
    ClipRow row;
    row.texts[0] = Text;
    row.key = Key;
    return Add(Index, std::move(row));
}
ListItem ListItemsCollection::Add(int Index, ClipRow row) {
    if (!m_model->insertRow(Index, std::move(row)))
        return {};
    return ListItem(m_model, Index);
}
void ListItemsCollection::Remove(int Index) {
    m_model->removeRow(Index);
}
void ListItemsCollection::Clear() {
    m_model->clear();
}
ListItem ListItemsCollection::Item(int Index) const {
    if (Index < 1 || Index > m_model->count())
        return {};
    return ListItem(m_model, Index);
}
ListItem ListItemsCollection::Item(const QString& Key) const {
    const int index = m_model->findKey(Key);
    return index ? ListItem(m_model, index) : ListItem();
}

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
            return QString(text.left(MaxShownChars) + QChar(0x2026));
        return text;
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

QString ClipListModel::key(int index) const {
    const ClipRow* r = row(index);
    return r ? r->key : QString();
}

bool ClipListModel::setKey(int index, const QString& key) {
    if (index < 1 || index > count())
        return false;
    if (!key.isEmpty()) {
        const int other = findKey(key);
        if (other != 0 && other != index)
            return false; // keys are unique within a list
    }
    m_rows[index - 1].key = key;
    return true;
}

int ClipListModel::findKey(const QString& key) const {
    if (key.isEmpty())
        return 0;
    for (int i = 0; i < count(); ++i)
        if (m_rows[i].key == key)
            return i + 1;
    return 0;
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
        urls.append(QUrl::fromLocalFile(QFileInfo(location).absoluteFilePath()));
    }
    return urls;
}

bool ClipListModel::insertRow(int index, ClipRow row) {
    if (index < 1 || index > count() + 1 || count() >= MaxRows)
        return false;
    beginInsertRows({}, index - 1, index - 1);
    m_rows.insert(index - 1, std::move(row));
    endInsertRows();
    if (m_currentIndex && index <= *m_currentIndex && *m_currentIndex < MaxRows)
        ++*m_currentIndex;
    return true;
}

bool ClipListModel::removeRow(int index) {
    if (index < 1 || index > count())
        return false;
    const bool wasSelected = m_rows[index - 1].selected;
    beginRemoveRows({}, index - 1, index - 1);
    m_rows.removeAt(index - 1);
    endRemoveRows();
    if (m_currentIndex && index <= *m_currentIndex)
        --*m_currentIndex;
    if (wasSelected)
        emit selectionFlagsChanged();
    return true;
}

void ClipListModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
    if (m_currentIndex)
        *m_currentIndex = 0;
    emit selectionFlagsChanged();
}

int ClipListModel::removeSelected() {
    // Contiguous runs of selected rows, top to bottom.
    QList<std::pair<int, int>> runs; // first row0, length
    int removedAtOrBeforeCurrent = 0;
    const int current = m_currentIndex ? *m_currentIndex : 0;
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
    if (m_currentIndex)
        *m_currentIndex = static_cast<int16_t>(*m_currentIndex - removedAtOrBeforeCurrent);
    emit selectionFlagsChanged();
    return removed;
}

void ClipListModel::setSortKey(int column) {
    if (column >= 0 && column < ColumnCount)
        m_sortKey = column;
}

void ClipListModel::setSortOrder(int order) {
    m_sortOrder = order ? 1 : 0;
}

void ClipListModel::setSorted(bool on) {
    m_sorted = on;
    if (!on || count() < 2)
        return;
    // Only one row can carry a key while we sort; it is the one a bound CurrentIndex names.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();

    const int n = count();
    const int column = m_sortKey;
    QList<QString> folded(n);
    for (int i = 0; i < n; ++i)
        folded[i] = m_rows[i].texts[column].toCaseFolded();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (m_sortOrder == 0)
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return folded[a] < folded[b]; });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return folded[b] < folded[a]; });

    QList<ClipRow> sorted;
    sorted.reserve(n);
    std::vector<int> newRowOf(n);
    for (int k = 0; k < n; ++k) {
        sorted.append(std::move(m_rows[order[k]]));
        newRowOf[order[k]] = k;
    }
    m_rows = std::move(sorted);

    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& p : persistent)
        moved.append(index(newRowOf[p.row()], p.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ClipListModel::sortNow() {
    const int current = m_currentIndex ? *m_currentIndex : 0;
    if (current > 0)
        setKey(current, KelpoKey);
    setSorted(true);
    m_sorted = false; // rows added later keep the position they are given
    if (m_currentIndex) {
        const int found = findKey(KelpoKey);
        if (found) {
            *m_currentIndex = static_cast<int16_t>(found);
            m_rows[found - 1].key.clear();
        }
    }
}
