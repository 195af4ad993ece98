#pragma once

// WinSeek: the search window. The user picks a drive and a directory, browses the music
// files in it and sends single files to the playlist (double click or drag), or starts a
// search that lists every matching file below the directory with its tag data; result rows
// go to the playlist the same ways. The window remembers the last directory between runs
// (settings "Directory"/"DefaultDir", in the main window's store).
//
// Call order: the main window constructs it hidden at start-up (this reads the stored
// directory), shows and hides it any number of times, and deletes it at shutdown (this stores
// the directory). Files sent to the playlist go through the handler given at construction,
// which the main window binds to OpenFile(path, false, 0).
//
// States: Idle ("&Search", criteria panel) -> Searching ("Cancel", results panel, walk
// running) -> Showing results ("&Back") -> Idle through ClearSearch.
//
// Threading: GUI thread only. A search lets pending events of every window run while it
// walks, so the player's timers keep going; the window may be hidden, closed from its title
// bar (cancels the walk) or deleted (the walk stops at once) from inside those events. What
// the walk found reaches the result list, the counter and the caption in batches, at most
// every ShowIntervalMs and at the end: repainting the list is what a walk would otherwise
// spend most of its time on. The tags of the files found are read on worker threads
// (SongRecordQueue) a little behind the walk; the search ends once the last of them is in.

#include "playlist/playlistedit.h"
#include "playlist/songrecordqueue.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace volaro::playlist {
class ClipListView;
}
namespace volaro::base {
class SettingsStore;
}

namespace volaro::search {

class DirListView;
class FileListView;
class SearchWalker;

class WinSeek : public QWidget {
    Q_OBJECT
public:
    using OpenFileHandler = std::function<void(const QString& path)>;

    // openFile receives every file sent to the playlist (a list file included); the
    // directory is kept in `settings`, which must outlive the window.
    WinSeek(base::SettingsStore& settings, OpenFileHandler openFile, QWidget* parent = nullptr);
    ~WinSeek() override;

    enum class State { Idle, Searching, ShowingResults };
    State state() const;

    // Settings.
    void GetSettings();
    void Form_Unload(); // stores the directory; also run by the destructor

    // The handlers, callable as the controls would call them.
    void cmdSearch_Click();
    void cmdExit_Click();
    void ClearSearch();
    void lstClipList_ColumnClick(int column); // 1-based, title = 1
    void lstClipList_DblClick();
    void findInResults();

    const playlist::HeaderSort& headerSort() const { return m_sort; }

    // Controls, for the main window's needs and for tests.
    QWidget* Picture1() const { return m_picture1; }
    QWidget* Picture2() const { return m_picture2; }
    QLineEdit* txtSearchSpec() const { return m_txtSearchSpec; }
    QLineEdit* txtSearchMask() const { return m_txtSearchMask; }
    QLineEdit* txtSearch() const { return m_txtSearch; }
    QCheckBox* chkSearchTitlesOnly() const { return m_chkSearchTitlesOnly; }
    FileListView* filList() const { return m_filList; }
    DirListView* dirList() const { return m_dirList; }
    QComboBox* drvList() const { return m_drvList; }
    QLabel* lblCount() const { return m_lblCount; }
    playlist::ClipListView* lstClipList() const { return m_lstClipList; }
    QPushButton* cmdSearch() const { return m_cmdSearch; }
    QPushButton* cmdExit() const { return m_cmdExit; }
    QLabel* Label1() const { return m_label1; }

    // Shown when the results can take no more rows (the search then ends as if cancelled).
    // Replaceable so tests need no modal box; the default is a one-button message box.
    void setMessageHandler(std::function<void(const QString&)> show) { m_showMessage = show; }
    // Least milliseconds between two rounds of event processing during a walk (0: on entry
    // to every directory and after every file).
    void setYieldInterval(int ms) { m_yieldMs = ms; }
    // Least milliseconds between two showings of the walk's progress (rows, counter, caption).
    static constexpr int ShowIntervalMs = 100;
    // Most files the walk may find ahead of the reading of their tags.
    static constexpr int ReadLead = 256;

signals:
    // The walk entered a directory or added a file (the caption changed); for progress
    // watchers and tests.
    void walkProgress(const QString& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void buildControls();
    void refreshDrives();
    void selectDrive(const QString& root);
    void drvList_Change(int index);
    void dirList_Change(const QString& path);
    void txtSearchSpec_Change(const QString& text);
    void txtSearchMask_Change(const QString& text);
    void showProgress(); // the walk's rows, counter and caption, as far as it went
    bool eventFilter(QObject* watched, QEvent* event) override;

    OpenFileHandler m_openFile;
    std::function<void(const QString&)> m_showMessage;

    QWidget* m_picture1 = nullptr;
    QLineEdit* m_txtSearchSpec = nullptr;
    QLabel* m_lblCriteria = nullptr;
    QLineEdit* m_txtSearchMask = nullptr;
    FileListView* m_filList = nullptr;
    QComboBox* m_drvList = nullptr;
    DirListView* m_dirList = nullptr;
    QWidget* m_picture2 = nullptr;
    QLabel* m_lblfound = nullptr;
    QLabel* m_lblCount = nullptr;
    QLineEdit* m_txtSearch = nullptr;
    QCheckBox* m_chkSearchTitlesOnly = nullptr;
    playlist::ClipListView* m_lstClipList = nullptr;
    QPushButton* m_cmdSearch = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QLabel* m_label1 = nullptr;

    SearchWalker* m_walker = nullptr; // the running walk, on the stack of cmdSearch_Click
    bool m_unloading = false;
    bool m_unloaded = false;
    int m_yieldMs = 10;
    // The files found whose rows are not shown yet, their tags read behind the walk.
    playlist::SongRecordQueue m_reads;
    QString m_counter; // the counter's text, ahead of the label
    QString m_caption;
    QElapsedTimer m_sinceShown;
    playlist::HeaderSort m_sort;
    base::SettingsStore& m_settings;
    QStringList m_drives;
    QHash<QString, QString> m_driveDirs; // last directory seen on each drive
};

} // namespace volaro::search
