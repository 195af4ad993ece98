#include "app/frmplayerui.h"

#include "app/transitionbutton.h"
#include "app/wrappingbutton.h"
#include "base/twips.h"
#include "playlist/cliplistview.h"

#include <QFont>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace volaro::app {

using base::twipsRect;
using base::twipsToPixels;
using playlist::ClipListView;

namespace {

const QColor kYellow(0xff, 0xff, 0x00);
const QColor kRed(0xff, 0x00, 0x00);
const QColor kGreen(0x00, 0xff, 0x00);
const QColor kCyan(0x00, 0xff, 0xff);
const QColor kLightGrey(0xc0, 0xc0, 0xc0);
const QColor kOrange(0xff, 0x80, 0x00);
const QColor kLightCyan(0x80, 0xff, 0xff);
const QColor kLightPink(0xff, 0xc0, 0xff);

QFont captionFont() {
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    f.setBold(true);
    return f;
}

QFont largeFont() {
    QFont f = captionFont();
    f.setPointSizeF(13.5);
    return f;
}

QString colourName(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QLabel* label(QWidget* parent, const QString& text, const QRect& twips,
              const QColor& fg = Qt::white, const QColor& bg = QColor()) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    l->setFont(captionFont());
    QString css = QStringLiteral("color: %1;").arg(colourName(fg));
    css += bg.isValid() ? QStringLiteral("background-color: %1;").arg(colourName(bg))
                        : QStringLiteral("background: transparent;");
    l->setStyleSheet(css);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, const QRect& twips, const QColor& bg,
                    bool wrap = false) {
    QPushButton* b = wrap ? new WrappingButton(text, parent) : new QPushButton(text, parent);
    b->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    b->setFont(captionFont());
    b->setStyleSheet(QStringLiteral("QPushButton { color: black; background-color: %1;"
                                    " border: 2px outset %1; }"
                                    "QPushButton:pressed { border-style: inset; }"
                                    "QPushButton:focus { border-color: white; }")
                         .arg(colourName(bg)));
    return b;
}

QProgressBar* bar(QWidget* parent, const QRect& twips) {
    auto* p = new QProgressBar(parent);
    p->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    p->setRange(0, 100);
    p->setValue(0);
    p->setTextVisible(false);
    return p;
}

QScrollBar* slider(QWidget* parent, Qt::Orientation o, const QRect& twips, int min, int max) {
    auto* s = new QScrollBar(o, parent);
    s->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    s->setRange(min, max);
    return s;
}

// The design's small spin controls are scroll bars whose top arrow increases the value.
QScrollBar* spin(QWidget* parent, int left, int top, int min, int max) {
    QScrollBar* s = slider(parent, Qt::Vertical, QRect(left, top, 240, 465), min, max);
    s->setInvertedAppearance(true);
    s->setInvertedControls(true);
    s->setPageStep(1);
    return s;
}

} // namespace

void FrmPlayerUi::setupUi(QMainWindow* window) {
    window->setWindowTitle(QStringLiteral("Volaro PRO"));
    window->setFont(captionFont());
    window->setStyleSheet(QStringLiteral("QMainWindow { background-color: black; }"));

    auto* central = new QWidget(window);
    central->setObjectName(QStringLiteral("frmPlayerClient"));
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, Qt::black);
    central->setPalette(pal);
    window->setCentralWidget(central);

    lstClipList = new ClipListView(central);
    lstClipList->setObjectName(QStringLiteral("lstClipList"));
    lstClipList->move(twipsToPixels(120), 0);

    Picture1 = new QWidget(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAutoFillBackground(true);
    Picture1->setPalette(pal);
    Picture1->setGeometry(twipsRect(120, 0, 6285, kPanelOpenHeight));
    QWidget* p = Picture1;

    // Row 120: transport
    btnBack = button(p, QStringLiteral("&Back"), {120, 120, 1050, 450}, kYellow);
    btnStop = button(p, QStringLiteral("&Stop"), {1200, 120, 1170, 450}, kRed);
    btnPlay = button(p, QStringLiteral("&Play"), {2400, 120, 1410, 450}, kGreen);
    btnPause = button(p, QStringLiteral("Pa&use"), {3840, 120, 1170, 450}, kCyan);
    btnNext = button(p, QStringLiteral("&Next"), {5040, 120, 1050, 450}, kYellow);

    chkRndPlay = new QCheckBox(QStringLiteral("Shuffle Mode"), p);
    chkRndPlay->setGeometry(twipsRect(2400, 600, 1800, 240));
    chkRndPlay->setStyleSheet(QStringLiteral("color: %1;").arg(colourName(kGreen)));

    lblCurrentPosition = label(p, QStringLiteral("Current Position"), {360, 720, 1800, 240});
    lblMasterVolumeTit = label(p, QStringLiteral("Master Volume"), {3960, 720, 1500, 240});
    lblMasterVolume = label(p, QStringLiteral("100%"), {5640, 720, 600, 240});

    hscPosition = slider(p, Qt::Horizontal, {120, 960, 3300, 255}, 0, 1000);
    hscVolume = slider(p, Qt::Horizontal, {3675, 960, 2310, 255}, 0, 85);
    hscVolume->setPageStep(5);

    prgPosition = bar(p, {315, 1245, 2805, 195});
    prgMasterVolume = bar(p, {3870, 1245, 1875, 195});

    lblTotalTit = label(p, QStringLiteral("Total"), {240, 1455, 900, 210});
    lblPositionTit = label(p, QStringLiteral("Position"), {1320, 1455, 1000, 210});
    lblTimeLeftTit = label(p, QStringLiteral("Time Left"), {2415, 1455, 1000, 210});

    lblCh1 = label(p, QStringLiteral("CH1"), {3480, 1470, 390, 195});
    lblCh2 = label(p, QStringLiteral("CH2"), {3480, 1650, 390, 195});
    for (int i = 0; i < 2; ++i) {
        const int top = i == 0 ? 1470 : 1650;
        prgVolume[i] = bar(p, {3870, top, 1875, 195});
        lblVolume[i] = label(p, QStringLiteral("100%"), {5760, top, 480, 195});
    }

    lblTotal = label(p, QStringLiteral("00:00"), {120, 1650, 1080, 360}, kYellow);
    lblPosition = label(p, QStringLiteral("00:00"), {1200, 1650, 1080, 360}, kGreen);
    lblTimeLeft = label(p, QStringLiteral("00:00"), {2295, 1650, 1080, 360}, kRed);
    for (QLabel* l : {lblTotal, lblPosition, lblTimeLeft}) {
        l->setFont(largeFont());
        l->setAlignment(Qt::AlignCenter);
    }

    cmdShowOptions = button(p, QStringLiteral("Hide Options"), {120, 2040, 1335, 300}, kLightGrey);
    lblStatusTit = label(p, QStringLiteral("Status:"), {1800, 2040, 720, 240});
    lblStatus = label(p, QString(), {2520, 1950, 1260, 420}, kCyan);
    lblStatus->setFont(largeFont());
    lblStatus->setAlignment(Qt::AlignCenter);
    cmdWinSeek = button(p, QStringLiteral("Search &Music Files"), {3840, 1920, 2115, 420}, kGreen);

    // Row 2400: trims and transition time
    const QColor blue(0x00, 0x00, 0xff), navy(0x00, 0x00, 0x80), magenta(0xff, 0x00, 0xff),
        purple(0x80, 0x00, 0x80);
    lblCutFirstTit =
        label(p, QStringLiteral("Cut the First"), {105, 2400, 735, 465}, kLightCyan, blue);
    lblCutFirst = label(p, QStringLiteral("0"), {840, 2400, 480, 465}, kLightCyan, navy);
    spinCutFirst = spin(p, 1320, 2400, 0, 100);
    lblAndLast = label(p, QStringLiteral("And Last"), {1560, 2400, 600, 465}, kLightCyan, blue);
    lblCutLast = label(p, QStringLiteral("0"), {2160, 2400, 600, 465}, kLightCyan, navy);
    spinCutLast = spin(p, 2760, 2400, 0, 100);
    lblSecondsOfEach =
        label(p, QStringLiteral("Seconds of each Song"), {3000, 2400, 1200, 465}, kLightCyan, blue);
    lblTitleTransitionTime = label(p, QStringLiteral("Transition Time sec."),
                                   {4200, 2400, 840, 465}, Qt::white, magenta);
    lblTransitionTime = label(p, QStringLiteral("1"), {5040, 2400, 600, 465}, kLightPink, purple);
    spinTransitionTime = spin(p, 5640, 2400, 1, 100);
    // The narrow titles of this row take two or three lines in a smaller type.
    QFont small = captionFont();
    small.setPointSizeF(6.75);
    for (QLabel* l : {lblCutFirstTit, lblAndLast, lblSecondsOfEach, lblTitleTransitionTime}) {
        l->setWordWrap(true);
        l->setFont(small);
        l->setAlignment(Qt::AlignCenter);
    }
    for (QLabel* l : {lblCutFirst, lblCutLast, lblTransitionTime}) {
        l->setFont(largeFont());
        l->setAlignment(Qt::AlignCenter);
    }

    lblTransitionType =
        label(p, QStringLiteral("Select Transition Type. Current song in Red next song in Blue "),
              {105, 3000, 5910, 240});
    const int optLeft[5] = {120, 1320, 2520, 3720, 4920};
    for (int i = 0; i < 5; ++i) {
        optTransition[i] = new TransitionButton(i, p);
        optTransition[i]->setGeometry(twipsRect(optLeft[i], 3255, 1125, 390));
    }

    lblOutputDevices = label(p, QStringLiteral("Output Hardware Devices"), {120, 3675, 2475, 210});
    cmbOutputDevices = new QComboBox(p);
    cmbOutputDevices->setGeometry(twipsRect(120, 3885, 2475, 315));
    cmbOutputDevices->setEditable(false);
    cmdCalculate =
        button(p, QStringLiteral("Calculate Total"), {2640, 3720, 1020, 480}, kOrange, true);
    lblTitleTotLength = label(p, QStringLiteral("List Length"), {3720, 3720, 1140, 240});
    lblDuracionTotal =
        label(p, QStringLiteral("00:00"), {3720, 3960, 1080, 285}, Qt::black, Qt::white);
    Label2 = label(p, QStringLiteral("Song Count"), {4920, 3720, 1200, 240});
    lblCantDeTemas = label(p, QStringLiteral("0"), {4920, 3960, 1080, 285}, Qt::black, Qt::white);
    for (QLabel* l : {lblDuracionTotal, lblCantDeTemas}) {
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Box);
        l->setStyleSheet(l->styleSheet() + QStringLiteral("border: 1px solid #808080;"));
    }

    for (QWidget* w : p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->y() + w->height() > twipsToPixels(kPanelFoldedHeight))
            belowFold.push_back(w);

    // Status bar: panel 1, and panel 2 springing to fill the rest with an inset bevel.
    QStatusBar* sb = window->statusBar();
    sb->setSizeGripEnabled(true);
    sb->setFont(captionFont());
    sb->setFixedHeight(twipsToPixels(225) + 4);
    sb->setStyleSheet(QStringLiteral("QStatusBar { background-color: #c0c0c0; color: black; }"
                                     "QStatusBar::item { border: none; }"));
    statusPanel1 = new QLabel(sb);
    statusPanel1->setMinimumWidth(twipsToPixels(1440));
    statusPanel2 = new QLabel(sb);
    statusPanel2->setFrameShape(QFrame::Panel);
    statusPanel2->setFrameShadow(QFrame::Sunken);
    sb->addWidget(statusPanel1);
    sb->addWidget(statusPanel2, 1);

    ProgressBar1 = new QProgressBar(window);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->resize(twipsToPixels(1200), twipsToPixels(210));
    ProgressBar1->move(twipsToPixels(105), 0);

    // Menus
    QMenuBar* mb = window->menuBar();
    mnuList = mb->addMenu(QStringLiteral("&File"));
    mnuScanDrive = mnuList->addAction(QStringLiteral("Scan Drive"));
    mnuOpen = mnuList->addAction(QStringLiteral("Open..."));
    mnuOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuList->addSeparator();
    mnuSaveListAs = mnuList->addAction(QStringLiteral("Save List As..."));
    mnuSaveListAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuList->addSeparator();
    mnuShowItemInPlay = mnuList->addAction(QStringLiteral("Show Item In Play"));
    mnuPlaySelectedItem = mnuList->addAction(QStringLiteral("Play Selected Item"));
    mnuList->addSeparator();
    mnuRandomOrder = mnuList->addAction(QStringLiteral("Random Order"));
    mnuList->addSeparator();
    mnuDeleteSelectedItem = mnuList->addAction(QStringLiteral("Delete Selected Item"));
    mnuDeleteSelectedItem->setShortcut(QKeySequence(Qt::Key_Delete));
    mnuClear = mnuList->addAction(QStringLiteral("Clear List"));
    mnuOptions = mb->addMenu(QStringLiteral("&Options"));
    mnuSetDefaultPlayer = mnuOptions->addAction(QStringLiteral("Set Volaro as Default Player"));
    mnuOptions->addSeparator();
    mnuLevelLoudness = mnuOptions->addAction(QStringLiteral("Level Song Loudness"));
    mnuSkipSilence = mnuOptions->addAction(QStringLiteral("Skip Silence"));
    mnuKeepAlbumsWhole = mnuOptions->addAction(QStringLiteral("Keep Albums Whole"));
    mnuMatchBeats = mnuOptions->addAction(QStringLiteral("Match Beats"));
    mnuRestoreList = mnuOptions->addAction(QStringLiteral("Restore List at Start"));
    for (QAction* a :
         {mnuLevelLoudness, mnuSkipSilence, mnuKeepAlbumsWhole, mnuMatchBeats, mnuRestoreList})
        a->setCheckable(true);
    mnuAbout = mb->addAction(QStringLiteral("&About"));

    // Screen readers name controls by their text; the picture buttons have none.
    for (QWidget* w : std::initializer_list<QWidget*>{hscPosition, hscVolume})
        w->setAccessibleName(w == hscPosition ? QStringLiteral("Position")
                                              : QStringLiteral("Master Volume"));
    spinCutFirst->setAccessibleName(QStringLiteral("Cut the First"));
    spinCutLast->setAccessibleName(QStringLiteral("And Last"));
    spinTransitionTime->setAccessibleName(QStringLiteral("Transition Time sec."));
    cmbOutputDevices->setAccessibleName(QStringLiteral("Output Hardware Devices"));
    lstClipList->setAccessibleName(QStringLiteral("Playlist"));
}

} // namespace volaro::app
