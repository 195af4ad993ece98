#pragma once

// The controls of the main window, created and placed as designed. The window class
// owns the behaviour; this struct only holds the widgets so the design stays in one place.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <array>
#include <vector>

class QMainWindow;

namespace volaro::playlist {
class ClipListView;
}

namespace volaro::app {

class TransitionButton;

struct FrmPlayerUi {
    // Window level
    playlist::ClipListView* lstClipList = nullptr;
    QWidget* Picture1 = nullptr; // the options panel
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* statusPanel1 = nullptr;
    QLabel* statusPanel2 = nullptr;

    // Transport
    QPushButton* btnBack = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPlay = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnNext = nullptr;
    QCheckBox* chkRndPlay = nullptr;

    // Position and volume
    QLabel* lblCurrentPosition = nullptr;
    QLabel* lblMasterVolumeTit = nullptr;
    QLabel* lblMasterVolume = nullptr;
    QScrollBar* hscPosition = nullptr;
    QScrollBar* hscVolume = nullptr;
    QProgressBar* prgPosition = nullptr;
    QProgressBar* prgMasterVolume = nullptr;
    QLabel* lblTotalTit = nullptr;
    QLabel* lblPositionTit = nullptr;
    QLabel* lblTimeLeftTit = nullptr;
    QLabel* lblCh1 = nullptr;
    QLabel* lblCh2 = nullptr;
    std::array<QProgressBar*, 2> prgVolume{};
    std::array<QLabel*, 2> lblVolume{};
    QLabel* lblTotal = nullptr;
    QLabel* lblPosition = nullptr;
    QLabel* lblTimeLeft = nullptr;

    QPushButton* cmdShowOptions = nullptr;
    QLabel* lblStatusTit = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdWinSeek = nullptr;

    // Trimming and transition time
    QLabel* lblCutFirstTit = nullptr;
    QLabel* lblCutFirst = nullptr;
    QScrollBar* spinCutFirst = nullptr;
    QLabel* lblAndLast = nullptr;
    QLabel* lblCutLast = nullptr;
    QScrollBar* spinCutLast = nullptr;
    QLabel* lblSecondsOfEach = nullptr;
    QLabel* lblTitleTransitionTime = nullptr;
    QLabel* lblTransitionTime = nullptr;
    QScrollBar* spinTransitionTime = nullptr;
    QLabel* lblTransitionType = nullptr;
    std::array<TransitionButton*, 5> optTransition{};

    // Output, totals
    QLabel* lblOutputDevices = nullptr;
    QComboBox* cmbOutputDevices = nullptr;
    QPushButton* cmdCalculate = nullptr;
    QLabel* lblTitleTotLength = nullptr;
    QLabel* lblDuracionTotal = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblCantDeTemas = nullptr;

    // The panel's controls the fold cuts off (those reaching below its folded height).
    std::vector<QWidget*> belowFold;

    // Menus
    QMenu* mnuList = nullptr;
    QAction* mnuScanDrive = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSaveListAs = nullptr;
    QAction* mnuShowItemInPlay = nullptr;
    QAction* mnuPlaySelectedItem = nullptr;
    QAction* mnuRandomOrder = nullptr;
    QAction* mnuDeleteSelectedItem = nullptr;
    QAction* mnuClear = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuSetDefaultPlayer = nullptr;
    QAction* mnuLevelLoudness = nullptr;
    QAction* mnuSkipSilence = nullptr;
    QAction* mnuKeepAlbumsWhole = nullptr;
    QAction* mnuMatchBeats = nullptr;
    QAction* mnuRestoreList = nullptr;
    QAction* mnuAbout = nullptr;

    void setupUi(QMainWindow* window);
};

// Designed panel heights, in twips.
constexpr int kPanelOpenHeight = 4335;
constexpr int kPanelFoldedHeight = 2415;
constexpr int kDesignedClientWidth = 6495;
constexpr int kDesignedClientHeight = 6390;

} // namespace volaro::app
