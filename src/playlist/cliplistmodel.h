#pragma once

// ClipListModel: the rows of a clip list (the playlist or a search result list), kept as
// plain records so that adding, sorting and deleting stay fast at the 32,767-row limit.
//
// Rows are addressed 1-based, as everywhere in the player. Each row holds ten texts
// (column 0 the title, 1..9 the sub-items), a key (empty except during a re-sort) and a
// selected flag. The selection lives here, not in Qt's selection model, because Qt's
// range-based selection turns "delete every second row" into quadratic work.
//
// When bound to the playlist's CurrentIndex (setCurrentIndexField), every insertion,
// removal, clear and sort keeps CurrentIndex on the same song. Unbound lists (search
// results) never touch it.
//
// Threading: GUI thread only.

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QUrl>
#include <array>
#include <cstdint>

struct ClipRow {
    std::array<QString, 10> texts;
    QString key;
    bool selected = false;
};
Q_DECLARE_TYPEINFO(ClipRow, Q_RELOCATABLE_TYPE);

class ClipListModel;

// A handle on one row. Valid until rows are inserted, removed or reordered.
class ListItem {
public:
    ListItem() = default;
    ListItem(ClipListModel* model, int index)
        : m_model(model)
        , m_index(index) {}

    bool isValid() const;
    explicit operator bool() const { return isValid(); }

    int Index() const { return isValid() ? m_index : 0; }
    QString Text() const;
    void setText(const QString& text);
    QString SubItems(int i) const; // 1..9
    void setSubItems(int i, const QString& text);
    QString Key() const;
    bool setKey(const QString& key); // false when another row has that key
    bool Selected() const;
    void setSelected(bool on);

private:
    ClipListModel* m_model = nullptr;
    int m_index = 0;
};

// Collection-style access to the rows, positions 1..Count().
class ListItemsCollection {
public:
    explicit ListItemsCollection(ClipListModel* model)
        : m_model(model) {}

    int Count() const;
    // Inserts at Index (1..Count()+1); returns an invalid item when the position is out
    // of range or the list is full.
    ListItem Add(int Index, const QString& Text = {}, const QString& Key = {});
    ListItem Add(int Index, ClipRow row);
    void Remove(int Index);
    void Clear();
    ListItem Item(int Index) const;
    ListItem Item(const QString& Key) const; // invalid when no row has the key
    ListItem operator()(int Index) const { return Item(Index); }

private:
    ClipListModel* m_model;
};

class ClipListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 10;
    static constexpr int MaxRows = 32767;
    // Longest text the view is given to draw; the row keeps the whole text.
    static constexpr int MaxShownChars = 1024;
    // Column numbers of the song record.
    enum Column {
        ColTitle = 0,
        ColLength = 1,
        ColArtist = 2,
        ColCd = 3,
        ColYear = 4,
        ColGenre = 5,
        ColComment = 6,
        ColLocation = 7,
        ColAzar = 8,
        ColTotLength = 9
    };

    explicit ClipListModel(QObject* parent = nullptr);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    ListItemsCollection ListItems() { return ListItemsCollection(this); }
    int count() const { return static_cast<int>(m_rows.size()); }

    // Row access, 1-based. Out-of-range reads give empty text / false.
    const ClipRow* row(int index) const;
    QString text(int index, int column) const;
    void setText(int index, int column, const QString& text);
    QString key(int index) const;
    bool setKey(int index, const QString& key);
    int findKey(const QString& key) const; // 0 when none
    bool isSelected(int index) const;
    void setSelected(int index, bool on);
    void setAllSelected(bool on);
    int selectedCount() const;
    QList<int> selectedIndexes() const; // ascending, 1-based
    // The Locations of the selected rows, in list order, as file urls for a drag.
    QList<QUrl> selectedUrls() const;

    // Inserts at index 1..count()+1. Returns false (and changes nothing) when the index is
    // out of range or the list already holds MaxRows rows.
    bool insertRow(int index, ClipRow row);
    bool removeRow(int index);
    void clear();
    // Removes every selected row in one pass; CurrentIndex follows as if they had been
    // removed one at a time from the top. Returns the number removed.
    int removeSelected();

    // Sorting: column 0..9, order 0 ascending / 1 descending. Switching Sorted on sorts at
    // once by the column texts (compared case-insensitively; equal texts keep their order).
    int SortKey() const { return m_sortKey; }
    void setSortKey(int column);
    int SortOrder() const { return m_sortOrder; }
    void setSortOrder(int order);
    bool Sorted() const { return m_sorted; }
    void setSorted(bool on);
    // Sorts once by SortKey/SortOrder without leaving automatic sorting on; keeps a bound
    // CurrentIndex on its song through the "kelpo" key.
    void sortNow();

    void setCurrentIndexField(int16_t* field) { m_currentIndex = field; }
    int16_t* currentIndexField() const { return m_currentIndex; }

    // Header texts and tags of the ten song-record columns.
    static QString headerText(int column);
    static QString headerTag(int column);

signals:
    void selectionFlagsChanged();

private:
    void emitRowChanged(int row0);

    QList<ClipRow> m_rows;
    int16_t* m_currentIndex = nullptr;
    int m_sortKey = 0;
    int m_sortOrder = 0;
    bool m_sorted = false;
};
