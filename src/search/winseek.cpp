#include "search/winseek.h"

#include "base/filename.h"
#include "base/settingsstore.h"
#include "base/twips.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistfile.h"
#include "playlist/songrecord.h"
#include "search/dirlisting.h"
#include "search/dirlistview.h"
#include "search/filelistview.h"
#include "search/searchwalker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace volaro::search {

using base::kTwipsPerPixel;
using base::SettingsStore;
using base::twipsToPixels;
using playlist::ClipListModel;
using playlist::ClipListView;
using playlist::ClipRow;

namespace {

int px(int twips) {
    return twipsToPixels(twips);
}

// The resize rules are written for the outer size of a window with a standard frame; the
// client area is that much smaller.
constexpr int FrameWidthTwips = 120;
constexpr int FrameHeightTwips = 435;

const char* const SearchCaption = "&Search";
const char* const BackCaption = "&Back";
const char* const CloseCaption = "&Close";
const char* const CancelCaption = "Cancel";

const char* const HelpText =
    "Use this window for scanning files on any drive in your system, use wilcards as *.mp3 for "
    "all mp3 files. The search will begun at the selected directory, and bellow. Use "
    "*something*.mp3 for searching within a filename";

} // namespace

WinSeek::WinSeek(SettingsStore& settings, OpenFileHandler openFile, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_openFile(std::move(openFile))
    , m_settings(settings) {
    m_showMessage = [this](const QString& text) {
        QMessageBox::information(this, QStringLiteral("Volaro"), text, QMessageBox::Ok);
    };
    buildControls();
    Form_Load();
}

WinSeek::~WinSeek() {
    // Deleted from inside the walk's event processing: the walk sees the window gone
    // through its guard and touches nothing more.
    m_unloading = true;
    if (!m_unloaded)
        Form_Unload();
}

WinSeek::State WinSeek::state() const {
    if (m_walker)
        return State::Searching;
    return m_cmdSearch->text() == QLatin1String(BackCaption) ? State::ShowingResults : State::Idle;
}

void WinSeek::buildControls() {
    setWindowTitle(QString::fromUtf8(SearchText::RestingCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(pal);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_QuitOnClose, false); // the main window's closing ends the program
    resize(px(8190), px(8265));

    m_picture1 = new QWidget(this);
    m_txtSearchSpec = new QLineEdit(QStringLiteral("*.mp3"), m_picture1);
    m_txtSearchSpec->setToolTip(
        QStringLiteral("Use *.mp3 for all mp3 files, *.m3u for all paylist files"));
    m_txtSearchSpec->setGeometry(px(120), px(105), px(1695), px(315));
    m_lblCriteria = new QLabel(QStringLiteral("Search Criteria :"), m_picture1);
    m_lblCriteria->setGeometry(px(2520), px(120), px(1500), px(285));
    m_txtSearchMask = new QLineEdit(m_picture1);
    m_txtSearchMask->setGeometry(px(4080), px(120), px(3855), px(315));
    m_filList = new FileListView(m_picture1);
    m_filList->setToolTip(
        QStringLiteral("Select files from here, then Drag and Drop to Volaro window"));
    m_filList->setGeometry(px(120), px(525), px(3855), px(5160));
    m_drvList = new QComboBox(m_picture1);
    m_drvList->setGeometry(px(4080), px(540), px(3855), px(315));
    m_dirList = new DirListView(m_picture1);
    m_dirList->setGeometry(px(4080), px(1020), px(3855), px(4590));

    m_picture2 = new QWidget(this);
    m_lblfound = new QLabel(QStringLiteral("Files Found"), m_picture2);
    m_lblfound->setGeometry(px(240), px(120), px(1900), px(240));
    m_lblCount = new QLabel(QStringLiteral("0"), m_picture2);
    m_lblCount->setGeometry(px(2280), px(120), px(1500), px(240));
    m_txtSearch = new QLineEdit(m_picture2);
    m_txtSearch->setGeometry(px(120), px(360), px(2895), px(315));
    m_chkSearchTitlesOnly = new QCheckBox(QStringLiteral("By Title Only"), m_picture2);
    m_chkSearchTitlesOnly->setChecked(true);
    m_chkSearchTitlesOnly->setGeometry(px(3120), px(360), px(2000), px(315));
    m_lstClipList = new ClipListView(m_picture2);
    m_lstClipList->move(px(120), px(720));
    m_picture2->hide();

    m_cmdSearch = new QPushButton(QString::fromLatin1(SearchCaption), this);
    m_cmdSearch->setDefault(true);
    m_cmdSearch->setAutoDefault(false);
    m_cmdExit = new QPushButton(QString::fromLatin1(CloseCaption), this);
    m_cmdExit->setAutoDefault(false);
    m_label1 = new QLabel(QString::fromLatin1(HelpText), this);
    m_label1->setWordWrap(true);
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = m_label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_label1->setFont(small);

    connect(m_cmdSearch, &QPushButton::clicked, this, &WinSeek::cmdSearch_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &WinSeek::cmdExit_Click);
    connect(m_txtSearchSpec, &QLineEdit::textChanged, this, &WinSeek::txtSearchSpec_Change);
    connect(m_txtSearchMask, &QLineEdit::textChanged, this, &WinSeek::txtSearchMask_Change);
    connect(m_txtSearch, &QLineEdit::textChanged, this, &WinSeek::findInResults);
    connect(m_chkSearchTitlesOnly, &QCheckBox::clicked, this, &WinSeek::findInResults);
    connect(m_drvList, &QComboBox::activated, this, &WinSeek::drvList_Change);
    connect(m_dirList, &DirListView::pathChanged, this, &WinSeek::dirList_Change);
    connect(m_filList, &FileListView::fileDoubleClicked, this, [this](const QString& path) {
        if (m_openFile)
            m_openFile(path);
    });
    connect(m_lstClipList, &ClipListView::itemDblClick, this, &WinSeek::lstClipList_DblClick);
    connect(m_lstClipList, &ClipListView::columnClick, this, &WinSeek::lstClipList_ColumnClick);
    m_txtSearchSpec->installEventFilter(this);
    m_txtSearchMask->installEventFilter(this);
}

void WinSeek::Form_Load() {
    m_filList->setPattern(m_txtSearchSpec->text());
    if (!m_dirList->setPath(QDir::homePath()))
        m_dirList->setPath(QStringLiteral("/"));
    refreshDrives();
    GetSettings();

    for (QWidget* panel : {m_picture1, m_picture2}) {
        panel->move(0, 0);
        panel->resize(width(), panel->height());
        panel->setPalette(palette());
        panel->setAutoFillBackground(true);
    }
    for (QLabel* label : {m_lblCount, m_lblCriteria, m_lblfound}) {
        label->setPalette(palette());
        label->setAutoFillBackground(true);
    }
    m_lstClipList->setupColumns();
    Form_Resize();
}

void WinSeek::GetSettings() {
    const QString dir = m_settings.read(base::settings::SearchDirectory, QDir::homePath());
    m_dirList->setPath(dir); // a directory that has gone leaves the list where it was
    selectDrive(DirListing::driveOf(m_dirList->Path(), m_drives));
    m_dirList->refresh();
    m_filList->setPath(m_dirList->Path());
}

void WinSeek::Form_Unload() {
    m_unloaded = true;
    const QString dir = m_walker ? m_walker->currentDirectory() : m_dirList->Path();
    if (m_walker)
        m_unloading = true; // the walk ends at its next pause
    if (dir.isEmpty())
        return;
    m_settings.write(base::settings::SearchDirectory, dir);
    m_settings.flush();
}

void WinSeek::Form_Resize() {
    const int w = width() * kTwipsPerPixel + FrameWidthTwips;
    const int h = height() * kTwipsPerPixel + FrameHeightTwips;
    // Each rule on its own: a size that comes out negative leaves that control as it was.
    const int panelH = h - 1200;
    if (panelH >= 0) {
        m_picture2->resize(px(w), px(panelH));
        m_picture1->resize(m_picture1->width(), px(panelH));
    }
    const int listW = w - 500, listH = h - 2000;
    if (listW >= 0 && listH >= 0)
        m_lstClipList->resize(px(listW), px(listH));
    else if (listW >= 0)
        m_lstClipList->resize(px(listW), m_lstClipList->height());
    const int top = m_picture2->height() + px(100);
    m_cmdSearch->setGeometry(px(120), top, px(1200), px(510));
    m_cmdExit->setGeometry(px(1440), top, px(1200), px(510));
    m_label1->setGeometry(px(2760), top, std::max(0, width() - px(2760) - px(120)), px(900));
}

void WinSeek::resizeEvent(QResizeEvent*) {
    Form_Resize();
}

void WinSeek::showEvent(QShowEvent*) {
    // Volumes come and go between showings.
    refreshDrives();
    selectDrive(DirListing::driveOf(m_dirList->Path(), m_drives));
}

void WinSeek::closeEvent(QCloseEvent* event) {
    // The title bar's close acts as "&Close" and, during a walk, as Cancel as well.
    if (m_walker)
        m_walker->cancel();
    event->accept(); // hides; the window lives on
}

void WinSeek::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        m_cmdSearch->isDefault() && m_cmdSearch->isEnabled()) {
        // Queued, so the walk does not run inside this key event.
        QTimer::singleShot(0, m_cmdSearch, &QPushButton::click);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool WinSeek::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        // Deferred: a mouse press that gave the focus would undo the selection at once.
        if (watched == m_txtSearchSpec)
            QTimer::singleShot(0, m_txtSearchSpec, &QLineEdit::selectAll);
        else if (watched == m_txtSearchMask && !m_txtSearchMask->text().isEmpty())
            QTimer::singleShot(0, m_txtSearchMask, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- drives, directories, files ----------------------------------------------------------

void WinSeek::refreshDrives() {
    const QStringList drives = DirListing::drives();
    if (drives == m_drives)
        return;
    m_drives = drives;
    const QSignalBlocker block(m_drvList);
    m_drvList->clear();
    m_drvList->addItems(m_drives);
}

void WinSeek::selectDrive(const QString& root) {
    const QSignalBlocker block(m_drvList);
    m_drvList->setCurrentIndex(m_drvList->findText(root));
}

void WinSeek::drvList_Change(int index) {
    const QString root = m_drvList->itemText(index);
    const QString target = m_driveDirs.value(root, root);
    if (root.isEmpty() || (!m_dirList->setPath(target) && !m_dirList->setPath(root)))
        selectDrive(DirListing::driveOf(m_dirList->Path(), m_drives)); // not ready: quietly back
}

void WinSeek::dirList_Change(const QString& path) {
    m_filList->setPath(path);
    const QString drive = DirListing::driveOf(path, m_drives);
    m_driveDirs.insert(drive, path);
    selectDrive(drive);
}

void WinSeek::txtSearchSpec_Change(const QString& text) {
    m_filList->setPattern(text); // a text that is no pattern leaves the old one
}

void WinSeek::txtSearchMask_Change(const QString& text) {
    m_txtSearchSpec->setText(u'*' + text + QStringLiteral("*.mp3"));
}

// ---- search ------------------------------------------------------------------------------

void WinSeek::cmdSearch_Click() {
    if (m_walker)
        return;
    if (m_cmdSearch->text() != QLatin1String(SearchCaption)) {
        ClearSearch();
        m_txtSearchMask->setFocus();
        return;
    }
    // What is highlighted must be what is open: this press only opens it.
    const QString highlighted = m_dirList->highlightedPath();
    if (highlighted != m_dirList->Path()) {
        m_dirList->setPath(highlighted);
        return;
    }

    m_picture2->move(0, 0);
    m_picture2->show();
    m_picture2->raise();
    m_picture1->hide();
    m_cmdExit->setText(QString::fromLatin1(CancelCaption));
    m_filList->setPattern(m_txtSearchSpec->text());
    const QString start = m_dirList->Path();
    m_cmdSearch->setEnabled(false);

    QPointer<WinSeek> self(this);
    SearchWalker::Hooks hooks;
    m_counter = m_lblCount->text();
    m_caption.clear();
    m_sinceShown.invalidate();
    hooks.setCaption = [this](const QString& c) {
        m_caption = c;
        emit walkProgress(c);
    };
    hooks.counterText = [this] { return m_counter; };
    hooks.setCounterText = [this](const QString& t) { m_counter = t; };
    hooks.addFile = [this](const QString& path) {
        if (m_lstClipList->clipModel().count() + m_reads.pending() >= ClipListModel::MaxRows)
            return false;
        // The walk keeps only a short lead on the reads, so that a cancel is soon over.
        if (m_reads.unread() >= ReadLead)
            m_reads.wait(m_yieldMs);
        m_reads.add(path);
        return true;
    };
    hooks.processEvents = [this, self] {
        if (!m_sinceShown.isValid() || m_sinceShown.elapsed() >= ShowIntervalMs)
            showProgress();
        QCoreApplication::processEvents();
        return !self.isNull() && !m_unloading;
    };
    hooks.showMessage = [this](const QString& text) {
        showProgress();
        m_showMessage(text);
    };

    SearchWalker walker(hooks);
    FilePattern pattern;
    pattern.setPattern(m_filList->pattern());
    walker.setPattern(pattern);
    walker.setYieldInterval(m_yieldMs);
    m_walker = &walker;
    walker.WalkDirectory(start);
    // The last files found are still being read; the window goes on answering meanwhile.
    bool stay = self && !m_unloading;
    while (stay && m_reads.unread() > 0) {
        m_reads.wait(std::max(m_yieldMs, 1));
        stay = hooks.processEvents();
    }
    if (!self)
        return; // deleted while the walk let events through
    if (!stay)
        m_reads.clear(); // closing: what is still unread is of no more use
    m_walker = nullptr;
    showProgress();

    m_dirList->setPath(walker.currentDirectory());
    m_filList->setPath(m_dirList->Path());
    setWindowTitle(QString::fromUtf8(SearchText::RestingCaption));
    m_cmdSearch->setText(QString::fromLatin1(BackCaption));
    m_cmdSearch->setDefault(false);
    m_cmdExit->setText(QString::fromLatin1(CloseCaption));
    m_cmdSearch->setEnabled(true);
}

void WinSeek::showProgress() {
    m_sinceShown.start();
    QList<ClipRow> rows = m_reads.takeReady();
    if (!rows.isEmpty())
        m_lstClipList->clipModel().appendRows(std::move(rows));
    m_lblCount->setText(m_counter);
    if (!m_caption.isEmpty())
        setWindowTitle(base::readableName(m_caption));
}

void WinSeek::cmdExit_Click() {
    if (m_cmdExit->text() == QLatin1String(CancelCaption)) {
        if (m_walker)
            m_walker->cancel();
        return;
    }
    hide();
}

void WinSeek::ClearSearch() {
    m_reads.clear();
    m_lstClipList->clipModel().clear();
    m_counter = QStringLiteral("0");
    m_lblCount->setText(m_counter);
    if (m_walker)
        m_walker->cancel();
    m_picture2->hide();
    m_picture1->show();
    m_cmdSearch->setText(QString::fromLatin1(SearchCaption));
    m_cmdSearch->setDefault(true);
    m_cmdExit->setText(QString::fromLatin1(CloseCaption));
}

// ---- results -----------------------------------------------------------------------------

void WinSeek::lstClipList_DblClick() {
    const int row = m_lstClipList->SelectedItem();
    if (row && m_openFile)
        m_openFile(m_lstClipList->clipModel().text(row, ClipListModel::ColLocation));
}

void WinSeek::lstClipList_ColumnClick(int column) {
    m_sort.click(m_lstClipList->clipModel(), column);
    if (const int row = m_lstClipList->SelectedItem())
        m_lstClipList->EnsureVisible(row);
}

void WinSeek::findInResults() {
    const QString text = m_txtSearch->text();
    const bool titleOnly = m_chkSearchTitlesOnly->isChecked();
    const ClipListModel& model = m_lstClipList->clipModel();
    int found = 0;
    // An empty text selects nothing anew.
    for (int i = 1; !text.isEmpty() && i <= model.count() && !found; ++i) {
        if (titleOnly) {
            if (model.text(i, 0).startsWith(text, Qt::CaseInsensitive))
                found = i;
            continue;
        }
        for (int c = 1; c < ClipListModel::ColumnCount; ++c)
            if (model.text(i, c).startsWith(text, Qt::CaseInsensitive)) {
                found = i;
                break;
            }
    }
    m_lstClipList->setMultiSelect(false);
    if (found)
        m_lstClipList->setSelectedItem(found);
    const int shown = found ? found : m_lstClipList->SelectedItem();
    if (shown)
        m_lstClipList->EnsureVisible(shown);
    m_lstClipList->setMultiSelect(true);
}

} // namespace volaro::search
