#include "frmplayer.h"

#include "cliplistview.h"
#include "commandline.h"
#include "fileassociation.h"
#include "frmabout.h"
#include "playbacklist.h"
#include "player.h"
#include "playlistedit.h"
#include "productinfo.h"
#include "settingsconvert.h"
#include "settingsstore.h"
#include "transitionbutton.h"
#include "twips.h"
#include "winseek.h"

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

using namespace volaro::playback;

namespace {

// The engine's view of the playlist widget.
class ClipListPlaybackList final : public PlaybackList {
public:
    explicit ClipListPlaybackList(ClipListView& view)
        : m_view(view) {}
    int count() const override { return m_view.clipModel().count(); }
    QString location(int row) const override { return m_view.clipModel().text(row, 7); }
    void setSubItem(int row, int column, const QString& text) override {
        m_view.clipModel().setText(row, column, text);
    }
    int selectedIndex() const override { return m_view.SelectedItem(); }
    void clearSelection(int row) override { m_view.clipModel().setSelected(row, false); }
    void showItem(int row) override {
        m_view.setMultiSelect(false);
        m_view.setSelectedItem(row);
        m_view.EnsureVisible(row);
        m_view.setMultiSelect(true);
    }

private:
    ClipListView& m_view;
};

QString webAddressPanelText() {
    return QString::fromLatin1(volaro::ProductWebAddress) + u' ';
}

// Sets a mirroring widget without reporting it back as user input.
template <typename Widget, typename Fn> void quietly(Widget* w, Fn&& fn) {
    const QSignalBlocker block(w);
    fn(w);
}

} // namespace

frmPlayer::frmPlayer(SettingsStore& settings, DeckFactory factory, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(settings) {
    m_ui.setupUi(this);
    centralWidget()->installEventFilter(this);
    m_listAdapter = std::make_unique<ClipListPlaybackList>(*m_ui.lstClipList);
    m_engine = std::make_unique<PlaybackEngine>(std::move(factory), m_listAdapter.get());
    m_ui.lstClipList->setCurrentIndexField(&m_engine->CurrentIndex);
    m_engine->setRandomSource([this] {
        m_random.RandomizeFromClock();
        return m_random.Rnd();
    });
    AcceptPlaylistDrops(*m_ui.lstClipList, this);
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
    m_winSeek = std::make_unique<WinSeek>(
        [this](const QString& path) { OpenFile(path, false, 0, *m_ui.lstClipList, this); });
    m_winSeek->move(frameGeometry().topLeft());
    // 2-3. Outputs, then the first one chosen (creates both decks).
    fillOutputDevices();
    // 4. Settings.
    GetSettings();
    // 5. Columns.
    m_ui.lstClipList->setupColumns();
    // 6. Status bar: the second panel shows the web address.
    m_ui.statusPanel2->setText(webAddressPanelText());
    // 7-8. Status texts.
    m_ui.lblStatus->setText(PlaybackEngine::StatusStopText);
    // 9. Fold the panel when it was folded at the last exit.
    if (ShowOptions == 0)
        cmdShowOptions_Click();
    m_loaded = true;
    // 10. A file named on the command line plays at once.
    const QString path = commandLinePath(arguments);
    if (!path.isEmpty()) {
        OpenFile(path, true, 0, *m_ui.lstClipList, this);
        m_engine->btnPlay_Click();
    }
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
    m_engine->cmbOutputDevices_Click(m_ui.cmbOutputDevices->itemText(index));
}

void frmPlayer::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_engine->btnStop_Click();
    const QString error = SaveSettings();
    if (!error.isEmpty())
        QMessageBox::critical(this, windowTitle(), error);
    if (m_total->Calculating())
        m_total->cancel();
    m_winSeek.reset(); // stores the directory it shows
    if (m_about)
        m_about->close();
}

void frmPlayer::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Settings

void frmPlayer::GetSettings() {
    auto read = [this](const char* section, const char* key, const char* def) {
        return m_settings.GetSetting(QString::fromLatin1(section), QString::fromLatin1(key),
                                     QString::fromLatin1(def));
    };
    PlaybackEngine& e = *m_engine;
    // A value its control refuses (a file edited by hand or by another version) must not
    // sit in the field unseen, silencing songs or stalling the list: field and control
    // take the default, and the file heals at the next exit.
    auto restore = [&](const char* section, const char* key, int def, int64_t fieldMin,
                       int64_t fieldMax, auto& field, ControlValue& control) {
        const std::optional<int64_t> stored = settingToInteger(
            read(section, key, QByteArray::number(def).constData()), fieldMin, fieldMax);
        const int64_t value = stored && control.contains(*stored) ? *stored : def;
        field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        control.setValue(value);
    };
    restore("Transitions", "TransitionTime", 1, INT32_MIN, INT32_MAX, e.TransitionTime,
            e.spinTransitionTime);
    restore("Transitions", "TransitionType", 0, INT16_MIN, INT16_MAX, e.TransitionType,
            e.optTransition);
    restore("Trimming", "CutFirst", 0, INT16_MIN, INT16_MAX, e.CutFirst, e.spinCutFirst);
    restore("Trimming", "CutLast", 0, INT16_MIN, INT16_MAX, e.CutLast, e.spinCutLast);
    for (auto& level : e.vscVolume)
        level.setValue(level.maximum());
    if (auto v = settingToInt16(read("BasicAudio", "Volume", "64")))
        e.hscVolume.setValue(*v);
    if (auto v = settingToInt16(read("RandomPlayback", "rnd", "0")))
        e.chkRndPlay.setValue(*v);

    double top = topTwips(), left = leftTwips(), height = heightTwips();
    if (auto v = settingToSingle(read("Window", "Top", "100")))
        top = *v;
    if (auto v = settingToSingle(read("Window", "Left", "100")))
        left = *v;
    if (auto v = settingToSingle(read("Window", "Height", "7000")))
        height = *v;
    const QScreen* screen = this->screen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    if (top > pixelsToTwips(area.height()))
        top = 100;
    if (left > pixelsToTwips(area.width()))
        left = 100;
    if (height < 5000)
        height = 7000;
    setGeometryTwips(top, left, height);

    if (auto v = settingToInt16(read("ShowOptions", "ShowOptions", "1")))
        ShowOptions = *v;
}

QString frmPlayer::SaveSettings() {
    auto write = [this](const char* section, const char* key, const QString& value) {
        m_settings.SaveSetting(QString::fromLatin1(section), QString::fromLatin1(key), value);
    };
    const PlaybackEngine& e = *m_engine;
    write("Transitions", "TransitionTime", QString::number(e.TransitionTime));
    write("Transitions", "TransitionType", QString::number(e.TransitionType));
    write("Trimming", "CutFirst", QString::number(e.CutFirst));
    write("Trimming", "CutLast", QString::number(e.CutLast));
    write("RandomPlayback", "rnd", QString::number(e.chkRndPlay.value()));
    write("BasicAudio", "Volume", QString::number(e.hscVolume.value()));
    // A window dragged to the top edge keeps the place stored before.
    if (topTwips() > 100) {
        write("Window", "Top", singleToSetting(static_cast<float>(topTwips())));
        write("Window", "Left", singleToSetting(static_cast<float>(leftTwips())));
        write("Window", "Height", singleToSetting(static_cast<float>(heightTwips())));
    }
    write("ShowOptions", "ShowOptions", QString::number(ShowOptions));
    return m_settings.flush();
}

// ---------------------------------------------------------------------------------------
// Wiring: widgets report user input to the engine; the engine's signals update them.

void frmPlayer::wireTransport() {
    PlaybackEngine* e = m_engine.get();
    connect(m_ui.btnPlay, &QPushButton::clicked, e, &PlaybackEngine::btnPlay_Click);
    connect(m_ui.btnPause, &QPushButton::clicked, e, &PlaybackEngine::btnPause_Click);
    connect(m_ui.btnStop, &QPushButton::clicked, e, &PlaybackEngine::btnStop_Click);
    connect(m_ui.btnNext, &QPushButton::clicked, e, &PlaybackEngine::btnNext_Click);
    connect(m_ui.btnBack, &QPushButton::clicked, e, &PlaybackEngine::btnBack_Click);
    connect(e, &PlaybackEngine::statusTextChanged, m_ui.lblStatus, &QLabel::setText);
    connect(e, &PlaybackEngine::noticeChanged, this, [this](const QString& notice) {
        m_ui.statusPanel2->setText(notice.isEmpty() ? webAddressPanelText() : notice);
    });
    connect(e, &PlaybackEngine::totalTextChanged, m_ui.lblTotal, &QLabel::setText);
    connect(e, &PlaybackEngine::positionTextChanged, m_ui.lblPosition, &QLabel::setText);
    connect(e, &PlaybackEngine::timeLeftTextChanged, m_ui.lblTimeLeft, &QLabel::setText);
    connect(e, &PlaybackEngine::positionPercentChanged, m_ui.prgPosition, &QProgressBar::setValue);

    connect(m_ui.cmbOutputDevices, &QComboBox::activated, this, &frmPlayer::cmbOutputDevices_Click);
    connect(m_ui.cmdShowOptions, &QPushButton::clicked, this, &frmPlayer::cmdShowOptions_Click);
    connect(m_ui.cmdWinSeek, &QPushButton::clicked, this, &frmPlayer::cmdWinSeek_Click);
    connect(m_ui.cmdCalculate, &QPushButton::clicked, this, &frmPlayer::cmdCalculate_Click);
}

void frmPlayer::wireMixer() {
    PlaybackEngine* e = m_engine.get();
    FrmPlayerUi& u = m_ui;

    // User input. QScrollBar reports drags as value changes too, so the level and the
    // position follow the thumb while it moves.
    connect(u.hscVolume, &QScrollBar::valueChanged, e, [e](int v) { e->hscVolume.setValue(v); });
    connect(u.hscPosition, &QScrollBar::valueChanged, e,
            [e](int v) { e->hscPosition.setValue(v); });
    connect(u.spinTransitionTime, &QScrollBar::valueChanged, e,
            [e](int v) { e->spinTransitionTime.setValue(v); });
    connect(u.spinCutFirst, &QScrollBar::valueChanged, e,
            [e](int v) { e->spinCutFirst.setValue(v); });
    connect(u.spinCutLast, &QScrollBar::valueChanged, e,
            [e](int v) { e->spinCutLast.setValue(v); });
    connect(u.chkRndPlay, &QCheckBox::toggled, e,
            [e](bool on) { e->chkRndPlay.setValue(on ? 1 : 0); });
    for (int i = 0; i < 5; ++i)
        connect(u.optTransition[i], &QAbstractButton::clicked, e,
                [e, i] { e->optTransition.setValue(i); });

    // Mirrors of the engine's control values.
    connect(e, &PlaybackEngine::masterVolumeValueChanged, this,
            [&u](int v) { quietly(u.hscVolume, [v](QScrollBar* s) { s->setValue(v); }); });
    connect(e, &PlaybackEngine::deckLevelChanged, this, [&u](int deck, int v) {
        quietly(u.vscVolume[deck], [v](QScrollBar* s) { s->setValue(v); });
    });
    connect(e, &PlaybackEngine::positionSliderChanged, this, [&u](int value, int maximum) {
        quietly(u.hscPosition, [=](QScrollBar* s) {
            s->setMaximum(maximum);
            s->setValue(value);
        });
    });
    connect(e, &PlaybackEngine::transitionTimeValueChanged, this,
            [&u](int v) { quietly(u.spinTransitionTime, [v](QScrollBar* s) { s->setValue(v); }); });
    connect(e, &PlaybackEngine::cutFirstValueChanged, this,
            [&u](int v) { quietly(u.spinCutFirst, [v](QScrollBar* s) { s->setValue(v); }); });
    connect(e, &PlaybackEngine::cutLastValueChanged, this,
            [&u](int v) { quietly(u.spinCutLast, [v](QScrollBar* s) { s->setValue(v); }); });
    connect(e, &PlaybackEngine::transitionTypeChanged, this, [&u](int index) {
        if (index >= 0 && index < 5)
            quietly(u.optTransition[index], [](TransitionButton* b) { b->setChecked(true); });
    });
    connect(e, &PlaybackEngine::shuffleChanged, this,
            [&u](int v) { quietly(u.chkRndPlay, [v](QCheckBox* c) { c->setChecked(v == 1); }); });

    // Labels and bars.
    connect(e, &PlaybackEngine::masterVolumeTextChanged, u.lblMasterVolume, &QLabel::setText);
    connect(e, &PlaybackEngine::masterVolumePercentChanged, u.prgMasterVolume,
            &QProgressBar::setValue);
    connect(e, &PlaybackEngine::deckVolumeTextChanged, this,
            [&u](int deck, const QString& t) { u.lblVolume[deck]->setText(t); });
    connect(e, &PlaybackEngine::deckVolumePercentChanged, this,
            [&u](int deck, int p) { u.prgVolume[deck]->setValue(p); });
    connect(e, &PlaybackEngine::transitionTimeTextChanged, u.lblTransitionTime, &QLabel::setText);
    connect(e, &PlaybackEngine::cutFirstTextChanged, u.lblCutFirst, &QLabel::setText);
    connect(e, &PlaybackEngine::cutLastTextChanged, u.lblCutLast, &QLabel::setText);

    // Start from the engine's designed values.
    const PlaybackDisplay& d = e->display();
    quietly(u.hscVolume, [e](QScrollBar* s) { s->setValue(e->hscVolume.value()); });
    quietly(u.spinTransitionTime,
            [e](QScrollBar* s) { s->setValue(e->spinTransitionTime.value()); });
    u.optTransition[e->optTransition.value()]->setChecked(true);
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
    connect(list, &ClipListView::itemDblClick, e, &PlaybackEngine::mnuPlaySelectedItem_Click);
    connect(list, &ClipListView::enterPressed, e, &PlaybackEngine::mnuPlaySelectedItem_Click);
    connect(list, &ClipListView::rightButtonReleased, this,
            [this](const QPoint& pos) { m_ui.mnuList->popup(pos); });
    connect(list, &ClipListView::columnClick, this, &frmPlayer::lstClipList_ColumnClick);
}

void frmPlayer::wireMenus() {
    PlaybackEngine* e = m_engine.get();
    connect(m_ui.mnuScanDrive, &QAction::triggered, this, &frmPlayer::cmdWinSeek_Click);
    connect(m_ui.mnuOpen, &QAction::triggered, this, &frmPlayer::mnuOpen_Click);
    connect(m_ui.mnuSaveListAs, &QAction::triggered, this, &frmPlayer::mnuSaveListAs_Click);
    connect(m_ui.mnuShowItemInPlay, &QAction::triggered, e,
            &PlaybackEngine::mnuShowItemInPlay_Click);
    connect(m_ui.mnuPlaySelectedItem, &QAction::triggered, e,
            &PlaybackEngine::mnuPlaySelectedItem_Click);
    connect(m_ui.mnuRandomOrder, &QAction::triggered, this, &frmPlayer::mnuRandomOrder_Click);
    connect(m_ui.mnuDeleteSelectedItem, &QAction::triggered, this,
            &frmPlayer::mnuDeleteSelectedItem_Click);
    connect(m_ui.mnuClear, &QAction::triggered, this, &frmPlayer::mnuClear_Click);
    connect(m_ui.mnuAbout, &QAction::triggered, this, &frmPlayer::mnuAbout_Click);
    connect(m_ui.mnuSetDefaultPlayer, &QAction::triggered, this, [] { RegisterFileTypes(); });
}

// ---------------------------------------------------------------------------------------
// List files and the one file dialog

void frmPlayer::mnuOpen_Click() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open"), m_lastDialogFile,
        QStringLiteral("M3U PlayList (*.M3U *.m3u);;Media File (*.mp3 *.wav *.MP3 *.WAV);;"
                       "Anything (*)"));
    if (path.isEmpty())
        return;
    m_lastDialogFile = path;
    openChosenFile(path);
}

void frmPlayer::openChosenFile(const QString& path) {
    OpenFile(path, false, 0, *m_ui.lstClipList, this);
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
    const QString reason = SavePlayList(path, *m_ui.lstClipList);
    if (reason.isEmpty())
        return {};
    return QStringLiteral("The list could not be saved to %1.\n%2\nThe file was not changed.")
        .arg(QDir::toNativeSeparators(path), reason);
}

void frmPlayer::setProgress(int percent) {
    m_ui.ProgressBar1->setValue(percent);
}
void frmPlayer::setStatusText(const QString& text) {
    m_ui.statusPanel2->setText(text);
}
void frmPlayer::showWebAddress() {
    m_ui.statusPanel2->setText(webAddressPanelText());
}

// ---------------------------------------------------------------------------------------
// Playlist editing

void frmPlayer::lstClipList_ColumnClick(int header) {
    SortByHeader(m_ui.lstClipList->clipModel(), header, LastSortColumn, LastSortOrder);
}

void frmPlayer::mnuRandomOrder_Click() {
    RandomOrder(m_ui.lstClipList->clipModel(), [this] { return m_random.Rnd(); });
    m_engine->mnuShowItemInPlay_Click();
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
    m_engine->btnStop_Click();
    setTotalsRunning(true);
    const PlaybackEngine& e = *m_engine;
    m_total->run({e.CutFirst, e.CutLast, e.TransitionTime, e.TransitionType});
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
