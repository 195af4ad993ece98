#pragma once

// frmPlayer: the main window and the frame of the whole player. It owns the playlist view,
// the options panel, the playback engine (decks, timers, transport, transitions, mixer)
// and the search and About windows, and wires the widgets to the engine: widgets report
// what the user did, the engine's signals say what to show.
//
// Call order: construct with a settings store; Form_Load once with the program's
// arguments (may throw when the sound outputs cannot be listed); show; closing the window
// runs Form_Unload (Stop, save the settings, unload the search window).
//
// Threading: GUI thread only.

#include "app/analysisfeed.h"
#include "app/frmplayerui.h"
#include "app/totallength.h"
#include "playback/playbackengine.h"
#include "playlist/listkeeper.h"
#include "playlist/playlistedit.h"
#include "playlist/playlistfile.h"
#include "search/winseek.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

namespace volaro::base {
class SettingsStore;
}
namespace volaro::system {
class frmAbout;
}

namespace volaro::app {

class frmPlayer : public QMainWindow {
    Q_OBJECT
public:
    explicit frmPlayer(base::SettingsStore& settings,
                       playback::DeckFactory factory = playback::playerDeckFactory(),
                       QWidget* parent = nullptr);
    ~frmPlayer() override;

    // The list is kept in `file` across runs and crashes while "Restore List at Start" is
    // on (main passes ListKeeper::defaultFile(); a window not told keeps nothing). Before
    // Form_Load.
    void keepListIn(const QString& file);
    // "Restore List at Start", as its menu item shows it.
    bool restoresList() const;
    void setRestoresList(bool on);
    // Start-up in its fixed order; arguments as QCoreApplication::arguments() gives them.
    void Form_Load(const QStringList& arguments);
    // Shutdown: Stop, save the settings, unload the search window. Runs once.
    void Form_Unload();
    // A close no user watches (a signal, a remote client): a failure to save the settings
    // goes to standard error instead of a box that would hold the exit.
    void closeUnattended();
    // A close asked for while Form_Load still reads a long list: the reading ends after
    // the batch in hand, so that the close need not wait for the rest.
    void stopLoading() { m_stopLoading = true; }

    // Settings: read at start-up, written at shutdown. SaveSettings returns empty text or
    // why the store could not be written.
    void GetSettings();
    QString SaveSettings();

    // The resize rule and the fold button.
    void Form_Resize();
    void cmdShowOptions_Click();
    void cmdCalculate_Click();
    bool Calculating() const { return m_total && m_total->Calculating(); }

    // Menu commands with a file chosen (the dialogs call these).
    void openChosenFile(const QString& path);
    // Saves the playlist; returns empty text, or a message naming the file and the reason.
    QString saveListTo(const QString& path);
    // Appends a file (or a list file's songs) as a drop does and plays the first added row
    // at once, with the chosen transition; false when nothing was added.
    bool openAndPlay(const QString& path);
    // Shows the window in front of the others, also when it was minimized.
    void bringToFront();

    // Geometry in twips: top, left and outer height (title bar included) as the settings
    // keep them.
    double topTwips() const;
    double leftTwips() const;
    double heightTwips() const;
    void setGeometryTwips(double top, double left, double height);

    int panelHeightTwips() const { return m_panelHeightTwips; }
    playback::PlaybackEngine& engine() { return *m_engine; }
    playlist::ClipListModel& listModel();
    AnalysisFeed& analysis() { return *m_analysis; }
    search::WinSeek* searchWindow() const { return m_winSeek.get(); }

    int16_t ShowOptions = 1;
    const playlist::HeaderSort& headerSort() const { return m_sort; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

protected:
    // The controls, for a window built on this one.
    FrmPlayerUi& ui() { return m_ui; }
    const FrmPlayerUi& ui() const { return m_ui; }

private:
    void wireTransport();
    void wireMixer();
    void wireDisplay();
    void wireList();
    void wireMenus();
    QString restoreKeptList(); // empty text, or the notice of a damaged list set aside
    void fillOutputDevices();
    void cmbOutputDevices_Click(int index);
    void cmdWinSeek_Click();
    void mnuAbout_Click();
    void mnuOpen_Click();
    void mnuSaveListAs_Click();
    void lstClipList_ColumnClick(int header);
    void mnuRandomOrder_Click();
    void mnuDeleteSelectedItem_Click();
    void mnuClear_Click();
    void showTotal(const QString& total, int count);
    void setTotalsRunning(bool running);
    int frameExtraHeight() const;
    void applyPlacement();
    void settlePlacement();
    double placedTwips(double placed, int pixels) const;

    base::SettingsStore& m_settings;
    FrmPlayerUi m_ui;
    playlist::ListProgress m_progress;        // what a list file being read shows
    std::unique_ptr<AnalysisFeed> m_analysis; // outlives the engine, which asks it
    std::unique_ptr<playback::PlaybackEngine> m_engine;
    std::unique_ptr<search::WinSeek> m_winSeek; // created hidden at start-up, deleted at shutdown
    playlist::HeaderSort m_sort;
    std::unique_ptr<TotalLength> m_total;
    std::unique_ptr<playlist::ListKeeper> m_keeper;
    QPointer<system::frmAbout> m_about;
    QString m_lastDialogFile; // the one file dialog starts from the last name chosen
    int m_panelHeightTwips = kPanelOpenHeight;
    // The place last set in twips, and the frame height it was applied for.
    struct {
        double top = 0, left = 0, height = 0;
        int frameExtra = 0;
        bool set = false;
        bool settled = false; // applied again once the window manager framed the window
    } m_placed;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_unattended = false;
    bool m_stopLoading = false;
};

} // namespace volaro::app
