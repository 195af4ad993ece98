#include "app/frmplayer.h"

#include "app/commandline.h"
#include "app/transitionbutton.h"
#include "base/mediakinds.h"
#include "base/productinfo.h"
#include "base/settingsstore.h"
#include "base/twips.h"
#include "deck/player.h"
#include "playback/playbacklist.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistedit.h"
#include "search/winseek.h"
#include "system/fileassociation.h"
#include "system/frmabout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>

namespace volaro::app {

using base::dialogPatterns;
using base::ListKinds;
using base::PlayableKinds;
using base::SettingsStore;
using base::twipsToPixels;
using deck::Player;
using playlist::AcceptPlaylistDrops;
using playlist::ClearList;
using playlist::ClipListModel;
using playlist::ClipListView;
using playlist::DeleteSelectedItems;
using playlist::ListProgress;
using playlist::OpenFile;
using playlist::RandomOrder;
using playlist::SavePlayList;
using search::WinSeek;
using system::frmAbout;
using system::RegisterFileTypes;

using namespace volaro::playback;

namespace {

QString webAddressPanelText() {
    return QString::fromLatin1(volaro::base::ProductWebAddress) + u' ';
}

// The engine's view of the playlist widget.
PlaybackList playbackListOf(ClipListView& view) {
    ClipListView* v = &view;
    ClipListModel* m = &view.clipModel();
    return {.count = [m] { return m->count(); },
            .location = [m](int row) { return m->text(row, ClipListModel::ColLocation); },
            .albumPlace = [m](int row) { return m->albumPlace(row); },
            .setLengths =
                [m](int row, const QString& totLength, const QString& length) {
                    m->setText(row, ClipListModel::ColTotLength, totLength);
                    m->setText(row, ClipListModel::ColLength, length);
                },
            .currentRow = [m] { return m->playingRow(); },
            .setCurrentRow = [m](int row) { m->setPlayingRow(row); },
            .selectedIndex = [v] { return v->SelectedItem(); },
            .clearSelection = [m](int row) { m->setSelected(row, false); },
            .showItem =
                [v](int row) {
                    v->setMultiSelect(false);
                    v->setSelectedItem(row);
                    v->EnsureVisible(row);
                    v->setMultiSelect(true);
                }};
}

// ProgressBar1 and the second status-bar panel while a list file is read; the window
// answers between batches of rows.
ListProgress listProgressOf(FrmPlayerUi& u, std::function<bool()> stopped) {
    QProgressBar* bar = u.ProgressBar1;
    QLabel* panel = u.statusPanel2;
    return {.setProgress = [bar](int percent) { bar->setValue(percent); },
            .setStatusText = [panel](const QString& text) { panel->setText(text); },
            .showWebAddress = [panel] { panel->setText(webAddressPanelText()); },
            .letWindowAnswer = [] { QCoreApplication::processEvents(); },
            .stopped = std::move(stopped)};
}

// Binds a scroll bar to an engine value both ways. The engine refuses values outside
// its range and ignores the value it already holds, so the echo ends at once.
template <typename Setter, typename Signal>
void bind(QScrollBar* bar, PlaybackEngine* e, int value, Setter set, Signal changed) {
    bar->setValue(value);
    QObject::connect(bar, &QScrollBar::valueChanged, e, [e, set](int v) { (e->*set)(v); });
    QObject::connect(e, changed, bar, [bar](int v) {
        if (bar->value() != v)
            bar->setValue(v);
    });
}

} // namespace

frmPlayer::frmPlayer(SettingsStore& settings, DeckFactory factory, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(settings) {
    m_ui.setupUi(this);
    centralWidget()->installEventFilter(this);
    m_analysis = std::make_unique<AnalysisFeed>(m_ui.lstClipList->clipModel());
    m_progress = listProgressOf(m_ui, [this] { return m_stopLoading; });
    m_engine =
        std::make_unique<PlaybackEngine>(std::move(factory), playbackListOf(*m_ui.lstClipList));
    m_engine->setSoundLookup([this](const QString& path) { return m_analysis->known(path); });
    connect(m_analysis.get(), &AnalysisFeed::learnt, m_engine.get(), &PlaybackEngine::soundLearnt);
    // Songs are analysed only for the extras that use it.
    const auto analysisWanted = [this] {
        m_analysis->setWanted(m_engine->levelLoudness() || m_engine->skipSilence() ||
                              m_engine->matchBeats());
    };
    connect(m_engine.get(), &PlaybackEngine::levelLoudnessChanged, this, analysisWanted);
    connect(m_engine.get(), &PlaybackEngine::skipSilenceChanged, this, analysisWanted);
    connect(m_engine.get(), &PlaybackEngine::matchBeatsChanged, this, analysisWanted);
    AcceptPlaylistDrops(*m_ui.lstClipList, &m_progress);
    m_total = std::make_unique<TotalLength>(
        m_ui.lstClipList->clipModel(),
        [this](const QString& path) -> int32_t {
            // A deck of its own: a song played meanwhile keeps sounding.
            const std::unique_ptr<Deck> deck = m_engine->measuringDeck();
            if (!deck)
                return 0;
            deck->setFilename(path);
            deck->OpenFile();
            return deck->Duration();
        },
        [this](const QString& total, int count) { showTotal(total, count); },
        [] { QCoreApplication::processEvents(); });

    // Designed size: the client area 6495 twips wide; the height comes from the settings.
    resize(twipsToPixels(kDesignedClientWidth), twipsToPixels(kDesignedClientHeight) +
                                                    menuBar()->sizeHint().height() +
                                                    statusBar()->sizeHint().height());

    wireTransport();
    wireMixer();
    wireDisplay();
    wireList();
    wireMenus();
}

frmPlayer::~frmPlayer() {
    // A window destroyed without being closed still releases the windows it opened.
    delete m_about;
}

// ---------------------------------------------------------------------------------------
// Start-up and shutdown

void frmPlayer::Form_Load(const QStringList& arguments) {
    // 1. The search window, hidden, at the main window's place.
    m_winSeek = std::make_unique<WinSeek>(m_settings, [this](const QString& path) {
        OpenFile(path, false, 0, m_ui.lstClipList->clipModel(), &m_progress);
    });
    m_winSeek->move(frameGeometry().topLeft());
    // 2-3. Outputs, then the first one chosen (creates both decks).
    fillOutputDevices();
    // 4. Settings.
    GetSettings();
    // 5. Columns.
    m_ui.lstClipList->setupColumns();
    // 6. Status bar: the second panel shows the web address, or what was wrong with the
    // stored settings (said now, as the file is written anew at exit).
    const QString settingsProblem = m_settings.readProblem();
    m_ui.statusPanel2->setText(settingsProblem.isEmpty() ? webAddressPanelText() : settingsProblem);
    if (!settingsProblem.isEmpty())
        qWarning("%s", qUtf8Printable(settingsProblem));
    // 7-8. Status texts.
    m_ui.lblStatus->setText(PlaybackEngine::StatusStopText);
    // 9. Fold the panel when it was folded at the last exit.
    if (ShowOptions == 0)
        cmdShowOptions_Click();
    m_loaded = true;
    // 10. The list of the last run comes back, stopped; a file named on the command line
    // then plays at once, added to it (or, with no list kept, alone in a fresh one).
    const bool restore = m_keeper && m_ui.mnuRestoreList->isChecked();
    const QString notice = restore ? restoreKeptList() : QString();
    const QString path = commandLinePath(arguments);
    if (restore && !path.isEmpty()) {
        openAndPlay(path);
    } else if (!path.isEmpty()) {
        OpenFile(path, true, 0, m_ui.lstClipList->clipModel(), &m_progress);
        m_engine->play();
    }
    if (m_keeper)
        m_keeper->setEnabled(m_ui.mnuRestoreList->isChecked());
    if (!notice.isEmpty()) // after the file's own outcome, which would hide it
        m_ui.statusPanel2->setText(notice);
}

void frmPlayer::fillOutputDevices() {
    {
        const QSignalBlocker block(m_ui.cmbOutputDevices);
        m_ui.cmbOutputDevices->clear();
        Player lister; // a temporary deck lists the outputs and is released again
        lister.EnumDirectSoundDevices(*m_ui.cmbOutputDevices);
    }
    if (m_ui.cmbOutputDevices->count() > 0) {
        const QSignalBlocker block(m_ui.cmbOutputDevices);
        m_ui.cmbOutputDevices->setCurrentIndex(0);
        cmbOutputDevices_Click(0);
    }
}

void frmPlayer::cmbOutputDevices_Click(int index) {
    if (index < 0)
        return;
    m_engine->setOutputDevice(m_ui.cmbOutputDevices->itemText(index));
}

void frmPlayer::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_engine->stop();
    if (m_keeper)
        m_keeper->save();
    const QString error = SaveSettings();
    // Nobody waits at the screen when a signal, the session or a remote client closes the
    // window, and a box would hold the exit: standard error (the journal, under a desktop
    // session) is told instead.
    if (!error.isEmpty() && (m_unattended || qApp->isSavingSession()))
        qCritical("%s", qUtf8Printable(error));
    else if (!error.isEmpty())
        QMessageBox::critical(this, windowTitle(), error);
    if (m_total->Calculating())
        m_total->cancel();
    m_winSeek.reset(); // stores the directory it shows
    if (m_about)
        m_about->close();
}

void frmPlayer::closeUnattended() {
    m_unattended = true;
    close();
}

void frmPlayer::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Wiring: widgets report user input to the engine; the engine's signals update them.

void frmPlayer::wireTransport() {
    PlaybackEngine* e = m_engine.get();
    connect(m_ui.btnPlay, &QPushButton::clicked, e, &PlaybackEngine::play);
    connect(m_ui.btnPause, &QPushButton::clicked, e, &PlaybackEngine::pause);
    connect(m_ui.btnStop, &QPushButton::clicked, e, &PlaybackEngine::stop);
    connect(m_ui.btnNext, &QPushButton::clicked, e, &PlaybackEngine::next);
    connect(m_ui.btnBack, &QPushButton::clicked, e, &PlaybackEngine::back);
    connect(m_ui.cmbOutputDevices, &QComboBox::activated, this, &frmPlayer::cmbOutputDevices_Click);
    connect(m_ui.cmdShowOptions, &QPushButton::clicked, this, &frmPlayer::cmdShowOptions_Click);
    connect(m_ui.cmdWinSeek, &QPushButton::clicked, this, &frmPlayer::cmdWinSeek_Click);
    connect(m_ui.cmdCalculate, &QPushButton::clicked, this, &frmPlayer::cmdCalculate_Click);
}

void frmPlayer::wireMixer() {
    PlaybackEngine* e = m_engine.get();
    FrmPlayerUi& u = m_ui;
    // QScrollBar reports drags as value changes too, so the level and the position follow
    // the thumb while it moves.
    bind(u.hscVolume, e, e->masterLevel(), &PlaybackEngine::setMasterLevel,
         &PlaybackEngine::masterLevelChanged);
    bind(u.spinTransitionTime, e, e->transitionSeconds(), &PlaybackEngine::setTransitionSeconds,
         &PlaybackEngine::transitionSecondsChanged);
    bind(u.spinCutFirst, e, e->cutFirst(), &PlaybackEngine::setCutFirst,
         &PlaybackEngine::cutFirstChanged);
    bind(u.spinCutLast, e, e->cutLast(), &PlaybackEngine::setCutLast,
         &PlaybackEngine::cutLastChanged);
    connect(u.hscPosition, &QScrollBar::valueChanged, e, &PlaybackEngine::seek);
    connect(e, &PlaybackEngine::positionChanged, u.hscPosition, [&u](int value, int maximum) {
        // The engine's own moves: a new range must not clamp the thumb into a seek.
        const QSignalBlocker block(u.hscPosition);
        u.hscPosition->setMaximum(maximum);
        u.hscPosition->setValue(value);
    });
    connect(u.chkRndPlay, &QCheckBox::toggled, e, &PlaybackEngine::setShuffle);
    connect(e, &PlaybackEngine::shuffleChanged, u.chkRndPlay, &QCheckBox::setChecked);
    for (int i = 0; i < TransitionTypeCount; ++i)
        connect(u.optTransition[i], &QAbstractButton::clicked, e,
                [e, i] { e->setTransitionType(i); });
    connect(e, &PlaybackEngine::transitionTypeChanged, this, [&u](TransitionType type) {
        u.optTransition[static_cast<int>(type)]->setChecked(true);
    });
    u.optTransition[static_cast<int>(e->transitionType())]->setChecked(true);

    // The numbers beside the spin controls.
    const auto number = [](QLabel* label) {
        return [label](int v) { label->setText(QString::number(v)); };
    };
    connect(e, &PlaybackEngine::transitionSecondsChanged, this, number(u.lblTransitionTime));
    connect(e, &PlaybackEngine::cutFirstChanged, this, number(u.lblCutFirst));
    connect(e, &PlaybackEngine::cutLastChanged, this, number(u.lblCutLast));
    number(u.lblTransitionTime)(e->transitionSeconds());
    number(u.lblCutFirst)(e->cutFirst());
    number(u.lblCutLast)(e->cutLast());
}

void frmPlayer::wireDisplay() {
    PlaybackEngine* e = m_engine.get();
    FrmPlayerUi& u = m_ui;
    connect(e, &PlaybackEngine::statusTextChanged, u.lblStatus, &QLabel::setText);
    connect(e, &PlaybackEngine::noticeChanged, this, [this](const QString& notice) {
        m_ui.statusPanel2->setText(notice.isEmpty() ? webAddressPanelText() : notice);
    });
    connect(e, &PlaybackEngine::totalTextChanged, u.lblTotal, &QLabel::setText);
    connect(e, &PlaybackEngine::positionTextChanged, u.lblPosition, &QLabel::setText);
    connect(e, &PlaybackEngine::timeLeftTextChanged, u.lblTimeLeft, &QLabel::setText);
    connect(e, &PlaybackEngine::positionPercentChanged, u.prgPosition, &QProgressBar::setValue);
    connect(e, &PlaybackEngine::masterVolumeTextChanged, u.lblMasterVolume, &QLabel::setText);
    connect(e, &PlaybackEngine::masterVolumePercentChanged, u.prgMasterVolume,
            &QProgressBar::setValue);
    connect(e, &PlaybackEngine::deckVolumeTextChanged, this,
            [&u](int deck, const QString& t) { u.lblVolume[deck]->setText(t); });
    connect(e, &PlaybackEngine::deckVolumePercentChanged, this,
            [&u](int deck, int p) { u.prgVolume[deck]->setValue(p); });

    const PlaybackDisplay& d = e->display();
    u.lblMasterVolume->setText(d.lblMasterVolume);
    u.prgMasterVolume->setValue(d.prgMasterVolume);
    for (int i = 0; i < 2; ++i) {
        u.lblVolume[i]->setText(d.lblVolume[i]);
        u.prgVolume[i]->setValue(d.prgVolume[i]);
    }
}

void frmPlayer::wireList() {
    ClipListView* list = m_ui.lstClipList;
    PlaybackEngine* e = m_engine.get();
    connect(list, &ClipListView::itemDblClick, e, &PlaybackEngine::playSelected);
    connect(list, &ClipListView::enterPressed, e, &PlaybackEngine::playSelected);
    connect(list, &ClipListView::rightButtonReleased, this,
            [this](const QPoint& pos) { m_ui.mnuList->popup(pos); });
    connect(list, &ClipListView::columnClick, this, &frmPlayer::lstClipList_ColumnClick);
}

void frmPlayer::wireMenus() {
    PlaybackEngine* e = m_engine.get();
    connect(m_ui.mnuScanDrive, &QAction::triggered, this, &frmPlayer::cmdWinSeek_Click);
    connect(m_ui.mnuOpen, &QAction::triggered, this, &frmPlayer::mnuOpen_Click);
    connect(m_ui.mnuSaveListAs, &QAction::triggered, this, &frmPlayer::mnuSaveListAs_Click);
    connect(m_ui.mnuShowItemInPlay, &QAction::triggered, e, &PlaybackEngine::showPlaying);
    connect(m_ui.mnuPlaySelectedItem, &QAction::triggered, e, &PlaybackEngine::playSelected);
    connect(m_ui.mnuRandomOrder, &QAction::triggered, this, &frmPlayer::mnuRandomOrder_Click);
    connect(m_ui.mnuDeleteSelectedItem, &QAction::triggered, this,
            &frmPlayer::mnuDeleteSelectedItem_Click);
    connect(m_ui.mnuClear, &QAction::triggered, this, &frmPlayer::mnuClear_Click);
    connect(m_ui.mnuAbout, &QAction::triggered, this, &frmPlayer::mnuAbout_Click);
    connect(m_ui.mnuSetDefaultPlayer, &QAction::triggered, this, [] { RegisterFileTypes(); });
    connect(m_ui.mnuLevelLoudness, &QAction::toggled, e, &PlaybackEngine::setLevelLoudness);
    connect(e, &PlaybackEngine::levelLoudnessChanged, m_ui.mnuLevelLoudness, &QAction::setChecked);
    connect(m_ui.mnuSkipSilence, &QAction::toggled, e, &PlaybackEngine::setSkipSilence);
    connect(e, &PlaybackEngine::skipSilenceChanged, m_ui.mnuSkipSilence, &QAction::setChecked);
    connect(m_ui.mnuKeepAlbumsWhole, &QAction::toggled, e, &PlaybackEngine::setKeepAlbumsWhole);
    connect(e, &PlaybackEngine::keepAlbumsWholeChanged, m_ui.mnuKeepAlbumsWhole,
            &QAction::setChecked);
    connect(m_ui.mnuMatchBeats, &QAction::toggled, e, &PlaybackEngine::setMatchBeats);
    connect(e, &PlaybackEngine::matchBeatsChanged, m_ui.mnuMatchBeats, &QAction::setChecked);
    // Read with the settings; from then on the user's choice starts or stops the keeping.
    connect(m_ui.mnuRestoreList, &QAction::toggled, this, [this](bool on) {
        if (m_keeper && m_loaded)
            m_keeper->setEnabled(on);
    });
}

// ---------------------------------------------------------------------------------------
// List files and the one file dialog

void frmPlayer::mnuOpen_Click() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open"), m_lastDialogFile,
        QStringLiteral("M3U PlayList (%1);;Media File (%2);;Anything (*)")
            .arg(dialogPatterns(std::begin(ListKinds), std::end(ListKinds)),
                 dialogPatterns(std::begin(PlayableKinds), std::end(PlayableKinds))));
    if (path.isEmpty())
        return;
    m_lastDialogFile = path;
    openChosenFile(path);
}

void frmPlayer::openChosenFile(const QString& path) {
    OpenFile(path, false, 0, m_ui.lstClipList->clipModel(), &m_progress);
}

void frmPlayer::mnuSaveListAs_Click() {
    // No default suffix: the name is used exactly as typed.
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save List As"), m_lastDialogFile,
                                     QStringLiteral("M3U PlayList (*.M3U *.m3u)"));
    if (path.isEmpty())
        return;
    m_lastDialogFile = path;
    const QString error = saveListTo(path);
    if (!error.isEmpty())
        QMessageBox::warning(this, windowTitle(), error);
}

QString frmPlayer::saveListTo(const QString& path) {
    const QString reason = SavePlayList(path, m_ui.lstClipList->clipModel());
    if (reason.isEmpty())
        return {};
    return QStringLiteral("The list could not be saved to %1.\n%2\nThe file was not changed.")
        .arg(QDir::toNativeSeparators(path), reason);
}

// ---------------------------------------------------------------------------------------
// Playlist editing

ClipListModel& frmPlayer::listModel() {
    return m_ui.lstClipList->clipModel();
}

void frmPlayer::lstClipList_ColumnClick(int header) {
    m_sort.click(m_ui.lstClipList->clipModel(), header);
}

void frmPlayer::mnuRandomOrder_Click() {
    RandomOrder(m_ui.lstClipList->clipModel(), [this] { return m_engine->random().Rnd(); });
    m_engine->showPlaying();
}

void frmPlayer::mnuDeleteSelectedItem_Click() {
    DeleteSelectedItems(m_ui.lstClipList->clipModel());
}

void frmPlayer::mnuClear_Click() {
    ClearList(m_ui.lstClipList->clipModel());
}

// ---------------------------------------------------------------------------------------
// Total length

void frmPlayer::cmdCalculate_Click() {
    if (m_total->Calculating()) {
        m_total->cancel();
        return;
    }
    m_engine->stop();
    setTotalsRunning(true);
    const PlaybackEngine& e = *m_engine;
    m_total->run(
        {[&e](const QString& path, int32_t duration) { return e.spanOf(path, duration); },
         e.transitionSeconds(), e.transitionType(), e.joinsAlbums(),
         [&e](const QString& out, int32_t outDuration, const QString& in, int32_t inDuration) {
             return e.beatPlanOf(out, outDuration, in, inDuration);
         }});
    setTotalsRunning(false);
}

void frmPlayer::showTotal(const QString& total, int count) {
    m_ui.lblDuracionTotal->setText(total);
    m_ui.lblCantDeTemas->setText(QString::number(count));
}

void frmPlayer::setTotalsRunning(bool running) {
    const QString background = running ? QStringLiteral("#ff0000") : QStringLiteral("white");
    for (QLabel* l : {m_ui.lblDuracionTotal, m_ui.lblCantDeTemas})
        l->setStyleSheet(QStringLiteral("color: black; background-color: %1;"
                                        " border: 1px solid #808080;")
                             .arg(background));
    m_ui.cmdCalculate->setText(running ? QStringLiteral("Cancel Calculation")
                                       : QStringLiteral("Calculate Total"));
}

// ---------------------------------------------------------------------------------------
// Other windows

void frmPlayer::cmdWinSeek_Click() {
    if (!m_winSeek)
        return;
    m_winSeek->show();
    m_winSeek->raise();
    m_winSeek->activateWindow();
}

void frmPlayer::mnuAbout_Click() {
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    m_about = frmAbout::showAbout(nullptr);
}

} // namespace volaro::app
