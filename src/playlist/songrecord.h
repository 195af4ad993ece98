#pragma once

// How a media file becomes a row of a clip list, and the seconds-to-text format of every
// time display.

#include <QString>
#include <cstdint>

namespace volaro::playlist {

class ClipListModel;
class TagReader;
struct ClipRow;

// The row a media file becomes: its tag details, titled after its name when it has no
// title. Reads with the shared reader of the GUI thread.
ClipRow SongRecord(const QString& Filename);
ClipRow SongRecord(const QString& Filename, TagReader& reader);

// Adds Filename as a row at InsertPos (1..count+1, 0 for the end) with its tag details.
// Never fails loudly: an unreadable file still becomes a row titled after its name; an
// out-of-range position or a full list adds nothing. A list bound to CurrentIndex keeps it
// on the same song.
void AddFileToList(const QString& Filename, int32_t InsertPos, ClipListModel& DestinationList);
// The same with a caller-owned reader (other threads, benchmarks).
void AddFileToList(const QString& Filename, int32_t InsertPos, ClipListModel& DestinationList,
                   TagReader& reader);

// The display title for a file without a tag title: the name less its last four
// characters and less everything up to the last "\" or "/"; names of four characters or
// fewer are kept whole.
QString TitleFromFilename(const QString& Filename);

} // namespace volaro::playlist
