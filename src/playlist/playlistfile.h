#pragma once

// M3U list files: opening a path into the playlist (a list file or one media file),
// reading a list file and writing the playlist back.
//
// List files are UTF-8 text, one path per line; lines starting with "#" are comments.
// Reading accepts CR LF, CR or LF line ends; writing uses CR LF and no header, and a name
// holding a line break or bytes that are not UTF-8 as a file:// URI. Lists other programs
// wrote are read as they meant them: relative entries against the list's folder, file://
// URIs as local paths, "\" as separator, and in .m3u files (not .m3u8) a line that is not
// valid UTF-8 as Windows-1252, the code page older Windows players wrote, when that names a
// file (otherwise, as in .m3u8 files, as the bytes of a name).
//
// Threading: GUI thread only (they change the list model). A long list is read in batches
// of rows with the window answering in between (ListProgress::letWindowAnswer).

#include <QString>
#include <cstdint>
#include <functional>

class QIODevice;

namespace volaro::playlist {

class ClipListModel;

// What the main window shows while a list file is read: ProgressBar1 (0..100) and the
// second status-bar panel (the line count, then the web address again). The reader calls
// the hooks it finds set; an empty hook is skipped.
struct ListProgress {
    std::function<void(int percent)> setProgress;
    std::function<void(const QString& text)> setStatusText;
    std::function<void()> showWebAddress;
    // Called between batches of rows while a list is read, at most every BatchMs of
    // work: the window handles what is pending (the list may change meanwhile; the rows
    // still to come are appended after whatever it then holds).
    std::function<void()> letWindowAnswer;
    // Asked after the window has answered: true ends the reading there (the program is
    // closing), the rows read so far kept and the reading not complete.
    std::function<bool()> stopped;
    static constexpr int BatchMs = 50;

    // The panel at rest after adding files: the web address, or how many entries a full
    // list refused (the user would not notice the missing rows otherwise).
    void showOutcome(int notAdded) const;
};

// "1,234 entries were not added: a list holds at most 32,767 songs".
QString NotAddedNotice(int notAdded);

// What reading a list came to.
struct ListRead {
    bool complete = false; // read to its end; false when it could not be opened or a read failed
    int notAdded = 0;      // entries refused because the list was full
    explicit operator bool() const { return complete; }
};

// The last three characters of Filename, or empty text for shorter names.
QString GetExtension(const QString& Filename);

// A name whose last three characters are "m3u" in any case, or ending in ".m3u8", is a list
// file (appended at the end, InsertPos unused); any other name becomes one row at InsertPos
// (ClearList unused). Returns how many entries were not added because the list was full.
int OpenFile(const QString& Filename, bool ClearList, int32_t InsertPos, ClipListModel& list,
             const ListProgress* progress = nullptr);

// Reads a list file, appending one row per non-comment line. Stops quietly at the first
// failure; rows added before it stay. When the file cannot be opened nothing changes (the
// list is not cleared either).
ListRead LoadPlayList(const QString& Filename, bool ClearList, ClipListModel& list,
                      const ListProgress* progress = nullptr);
// The reading itself, from any device: entries are resolved against listFolder; utf8Only
// for .m3u8 lists.
ListRead ReadPlayList(QIODevice& device, const QString& listFolder, bool utf8Only,
                      ClipListModel& list, const ListProgress* progress = nullptr);

// The bytes of a list file holding the Locations, one per line with CR LF.
QByteArray PlayListText(const ClipListModel& list);
// Writes PlayListText, replacing the file atomically. Returns empty text on success,
// otherwise what the system reported (the existing file is left untouched).
QString SavePlayList(const QString& Filename, const ClipListModel& list);

} // namespace volaro::playlist
