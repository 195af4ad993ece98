#pragma once

// ClipListModel: the rows of a clip list (the playlist or a search result list), kept as
// plain records so that adding, sorting and deleting stay fast at the 32,767-row limit.
//
// Rows are addressed 1-based, as everywhere in the player. Each row holds ten texts
// (column 0 the title, 1..9 the sub-items) and a selected flag. The selection lives here, not in
// Qt's selection model, because Qt's range-based selection turns "delete every second row" into
// quadratic work.
//
// The model owns the playing row (CurrentIndex: 1-based row of the song in play; 0 after
// the end of the list was passed; -1 when the list was found empty). Inserting at or above
// it moves it down, removing a row at or above it moves it up (removing the playing row
// itself names the row before), clearing makes it 0, sorting keeps it on its song. A
// result list simply never sets it.
//
// Threading: GUI thread only.

#include "base/albumplace.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QUrl>
#include <array>
#include <cstdint>

namespace volaro::playlist {

struct ClipRow {
    std::array<QString, 10> texts;
    bool selected = false;
    // Not shown: what the tags tell of the song's place on its album besides the album and
    // the artist (which are columns).
    QString albumArtist;
    int16_t disc = 0;
    int16_t track = 0;
    int16_t tracks = 0;
};
class ClipListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 10;
    static constexpr int MaxRows = 32767;
    // Longest text the view is given to draw; the row keeps the whole text.
    static constexpr int MaxShownChars = 1024;
    // Column numbers of the song record.
    enum Column : int {
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

    int count() const { return static_cast<int>(m_rows.size()); }

    // Row access, 1-based. Out-of-range reads give empty text / false.
    const ClipRow* row(int index) const;
    QString text(int index, int column) const;
    void setText(int index, int column, const QString& text);
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
    // Appends as many of the rows as fit, in one insertion; returns how many.
    int appendRows(QList<ClipRow> rows);
    void clear();
    // Removes every selected row in one pass; the playing row follows as if they had been
    // removed one at a time from the top. Returns the number removed.
    int removeSelected();

    // Sorts once by the texts of `column`, compared case-insensitively; equal texts keep
    // their order. The playing row stays on its song.
    void sortBy(Column column, Qt::SortOrder order);

    // The song's place on its album (album, album artist, artist, disc, track).
    base::AlbumPlace albumPlace(int index) const;

    int playingRow() const { return m_playingRow; }
    void setPlayingRow(int row);

    // Header texts and tags of the ten song-record columns.
    static QString headerText(int column);
    static QString headerTag(int column);

signals:
    void selectionFlagsChanged();
    void playingRowChanged(int row);

private:
    void emitRowChanged(int row0);

    QList<ClipRow> m_rows;
    int m_playingRow = 0;
};

} // namespace volaro::playlist

Q_DECLARE_TYPEINFO(volaro::playlist::ClipRow, Q_RELOCATABLE_TYPE);
