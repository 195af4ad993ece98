#pragma once

// SearchWalker: the directory walk of the search window, free of any widget so it can be
// driven by the window, by tests and by benchmarks alike.
//
// Order of the results: for a directory D, first everything below its subdirectories,
// taken from the last subdirectory in name order to the first (each in the same way), and
// only then the matching files of D in name order. Hidden entries (dot names) are neither
// listed nor visited.
//
// Call order: construct with the hooks, setPattern(), then WalkDirectory(start). cancel()
// may be called from inside a hook (typically from a button handled while processEvents
// runs). The walk lets pending events through (processEvents) on entry to the first
// directory and then at most once every yieldInterval ms, checked on entry to every
// directory and after every file added: often enough for the player's timers, rarely enough
// that repainting the result list does not dominate a walk over thousands of small
// directories. A cancel seen on entry to a directory lists nothing of it; a cancel seen while
// a directory's files are added lets the rest of that directory through, and then the walk
// ends.
//
// Robustness: unreadable or vanished directories are skipped; each real directory (device
// and inode) is visited once, so symbolic-link loops end; the walk keeps its own stack, so
// depth is limited by memory only.
//
// Threading: all on the caller's thread (the GUI thread for the window). Hooks run
// synchronously inside WalkDirectory.

#include "search/filepattern.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <set>
#include <utility>

namespace volaro::search {

class SearchWalker {
public:
    struct Hooks {
        std::function<void(const QString&)> setCaption;     // window caption
        std::function<QString()> counterText;               // text of the found-files counter
        std::function<void(const QString&)> setCounterText; //
        // Adds a found file to the results; false when the result list can take no more.
        std::function<bool(const QString& path)> addFile;
        // Lets pending events run; false when the owner has gone and the walk must stop
        // at once, touching nothing more.
        std::function<bool()> processEvents;
        std::function<void(const QString&)> showMessage; // one-button message box
    };

    // Shown when the result list is full; the walk then ends as for a cancel.
    static inline constexpr const char* ListFullMessage =
        "Se ha llenado el cuadro de lista. Abandonando la b\u00fasqueda...";

    explicit SearchWalker(Hooks hooks);

    void setPattern(const FilePattern& pattern) { m_pattern = pattern; }
    const FilePattern& pattern() const { return m_pattern; }

    // Least milliseconds between two yields (0: on entry to every directory and after every
    // file).
    void setYieldInterval(int ms) { m_yieldMs = ms; }

    // Searches dirPath and everything below it. Returns true when the walk was abandoned
    // (cancel, full list, or the owner gone). parentPath is where the current directory
    // goes back to after a complete walk ("" keeps it at dirPath).
    bool WalkDirectory(const QString& dirPath, const QString& parentPath = QString());

    void cancel() { m_keepSearching = false; }

    // The directory the walk stands in: the start (or parentPath) after a complete walk,
    // the directory where it stopped after an abandoned one.
    QString currentDirectory() const { return m_currentDir; }

    qint64 directoriesEntered() const { return m_dirsEntered; }
    qint64 directoriesSkipped() const { return m_dirsSkipped; }

private:
    struct Frame;
    enum class Entry { Listed, Abandoned, Gone };
    Entry enter(const QString& path, Frame* parent, const QByteArray& name, Frame& out);
    bool listFiles(Frame& f, bool& gone);
    bool yieldDue() const;
    bool yieldNow(); // false when the owner has gone

    Hooks m_hooks;
    FilePattern m_pattern;
    int m_yieldMs = 10;
    QElapsedTimer m_sinceYield;
    bool m_keepSearching = false;
    QString m_currentDir;
    qint64 m_dirsEntered = 0;
    qint64 m_dirsSkipped = 0;
    int m_openDirs = 0;
    std::set<std::pair<quint64, quint64>> m_visited; // (device, inode) of directories entered
};

} // namespace volaro::search
