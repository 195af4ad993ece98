#include "playlist/songrecord.h"

#include "playlist/cliplistmodel.h"
#include "playlist/cliplistview.h"
#include "playlist/tagreader.h"

#include <algorithm>
#include <cmath>

namespace volaro::playlist {

namespace {
// The one reader the GUI thread shares, as there is one tag-reader control on the window.
TagReader& sharedReader() {
    static TagReader reader;
    return reader;
}
} // namespace

QString TitleFromFilename(const QString& Filename) {
    if (Filename.size() <= 4)
        return Filename;
    const QString stem = Filename.left(Filename.size() - 4);
    const qsizetype cut =
        std::max(stem.lastIndexOf(QLatin1Char('\\')), stem.lastIndexOf(QLatin1Char('/')));
    return stem.mid(cut + 1);
}

ClipRow SongRecord(const QString& Filename, TagReader& reader) {
    reader.setFilename(Filename);
    reader.ReadTag();

    ClipRow row;
    const QString tagTitle = reader.Title();
    row.texts[ClipListModel::ColTitle] =
        tagTitle.isEmpty() ? TitleFromFilename(Filename) : tagTitle;
    row.texts[ClipListModel::ColArtist] = reader.Artist();
    row.texts[ClipListModel::ColCd] = reader.Album();
    row.texts[ClipListModel::ColYear] = reader.Year();
    row.texts[ClipListModel::ColGenre] = reader.Genre();
    row.texts[ClipListModel::ColComment] = reader.Comment();
    row.texts[ClipListModel::ColLocation] = Filename;
    row.albumArtist = reader.albumArtist();
    row.disc = static_cast<int16_t>(reader.disc());
    row.track = static_cast<int16_t>(reader.track());
    row.tracks = static_cast<int16_t>(reader.tracks());
    return row;
}

ClipRow SongRecord(const QString& Filename) {
    return SongRecord(Filename, sharedReader());
}

void AddFileToList(const QString& Filename, int32_t InsertPos, ClipListModel& DestinationList,
                   TagReader& reader) {
    const int count = DestinationList.count();
    const int position = InsertPos == 0 ? count + 1 : InsertPos;
    if (position < 1 || position > count + 1 || count >= ClipListModel::MaxRows)
        return;
    // A list bound to CurrentIndex moves it itself when the row lands at or before it.
    DestinationList.insertRow(position, SongRecord(Filename, reader));
}

void AddFileToList(const QString& Filename, int32_t InsertPos, ClipListModel& DestinationList) {
    AddFileToList(Filename, InsertPos, DestinationList, sharedReader());
}

} // namespace volaro::playlist
