#pragma once

// M3U list files: opening a path into the playlist (a list file or one media file),
// reading a list file and writing the playlist back.
//
// List files are text in the locale's 8-bit encoding, one path per line; lines starting
// with "#" are comments. Reading accepts CR LF, CR or LF line ends; writing uses CR LF
// and no header.
//
// Threading: GUI thread only (they change the list model).

#include <QString>
#include <cstdint>

class ClipListModel;
class ClipListView;

// What the main window shows while a list file is read: ProgressBar1 (0..100) and the
// second status-bar panel (the line count, then the web address again).
class ListProgress {
public:
    virtual ~ListProgress() = default;
    virtual void setProgress(int percent) = 0;
    virtual void setStatusText(const QString& text) = 0;
    virtual void showWebAddress() = 0;
};

// The last three characters of Filename, or empty text for shorter names.
QString GetExtension(const QString& Filename);

// A name whose last three characters are "m3u" in any case is a list file (appended at the
// end, InsertPos unused); any other name becomes one row at InsertPos (ClearList unused).
void OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListView& list,
              ListProgress* progress = nullptr);
void OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListModel& list,
              ListProgress* progress = nullptr);

// Reads a list file, appending one row per non-comment line. Stops quietly at the first
// failure; rows added before it stay. When the file cannot be opened nothing changes (the
// list is not cleared either). Returns true when the whole file was read.
bool LoadPlayList(const QString& Filename, bool ClearList, ClipListModel& list,
                  ListProgress* progress = nullptr);
bool LoadPlayList(const QString& Filename, bool ClearList, ClipListView& list,
                  ListProgress* progress = nullptr);

// Writes the Locations, one per line with CR LF, replacing the file atomically. Returns
// empty text on success, otherwise why it failed (the existing file is left untouched).
QString SavePlayList(const QString& Filename, const ClipListModel& list);
QString SavePlayList(const QString& Filename, const ClipListView& list);
