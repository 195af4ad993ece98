// frmPlayer's place on the screen, the resize rule and the fold of the options panel.

#include "app/frmplayer.h"
#include "base/twips.h"
#include "playlist/cliplistview.h"

#include <QEvent>
#include <QStatusBar>

namespace volaro::app {

using base::pixelsToTwips;
using base::twipsToPixels;
using playlist::ClipListView;

int frmPlayer::frameExtraHeight() const {
    return isWindow() ? frameGeometry().height() - geometry().height() : 0;
}

double frmPlayer::placedTwips(double placed, int pixels) const {
    // While the window stays on the pixels the stored place rounds to, the stored figure
    // is reported back, so a place does not drift by a pixel's rounding every run.
    return m_placed.set && twipsToPixels(placed) == pixels ? placed : pixelsToTwips(pixels);
}

double frmPlayer::topTwips() const {
    return placedTwips(m_placed.top, frameGeometry().y());
}
double frmPlayer::leftTwips() const {
    return placedTwips(m_placed.left, frameGeometry().x());
}
double frmPlayer::heightTwips() const {
    return placedTwips(m_placed.height, frameGeometry().height());
}

void frmPlayer::setGeometryTwips(double top, double left, double height) {
    m_placed.top = top;
    m_placed.left = left;
    m_placed.height = height;
    m_placed.set = true;
    applyPlacement();
}

void frmPlayer::applyPlacement() {
    // The height is the outer one, title bar included; the client gets what the frame
    // leaves of it. move() places the frame's corner.
    m_placed.frameExtra = frameExtraHeight();
    move(twipsToPixels(m_placed.left), twipsToPixels(m_placed.top));
    resize(width(), std::max(1, twipsToPixels(m_placed.height) - m_placed.frameExtra));
}

void frmPlayer::settlePlacement() {
    // A window manager frames the window only after it is shown, so a place applied before
    // knew no title bar. Once the frame is there it is applied again, once: later frame
    // changes belong to the user or the desktop.
    if (!m_placed.set || m_placed.settled || !isVisible())
        return;
    if (frameExtraHeight() == m_placed.frameExtra)
        return;
    m_placed.settled = true;
    applyPlacement();
}

bool frmPlayer::eventFilter(QObject* watched, QEvent* event) {
    // The client area between menu bar and status bar changes size with the window, and
    // also when the menu bar wraps or the status bar grows.
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmPlayer::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    settlePlacement();
    Form_Resize();
}

void frmPlayer::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    settlePlacement();
}

void frmPlayer::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    settlePlacement();
    Form_Resize();
}

void frmPlayer::Form_Resize() {
    if (isMinimized())
        return;
    // The panel stands on the status bar: its bottom edge is the client area's bottom, the
    // list fills what is left above it. (The design's "H - 1000" is that edge for its
    // platform's title, menu and status bars; here the real heights are used.)
    const QWidget* client = centralWidget();
    const int panelHeight = twipsToPixels(m_panelHeightTwips);
    const int panelTop = client->height() - panelHeight;
    ClipListView* list = m_ui.lstClipList;

    const int listWidth = client->width() - 2 * list->x();
    if (listWidth >= 0)
        list->resize(listWidth, list->height());
    if (panelTop >= 0)
        list->resize(list->width(), panelTop);
    // The progress bar lies over the status bar's first panel.
    const QWidget* sb = statusBar();
    m_ui.ProgressBar1->move(m_ui.ProgressBar1->x(),
                            sb->y() + (sb->height() - m_ui.ProgressBar1->height()) / 2);
    m_ui.ProgressBar1->raise();
    m_ui.Picture1->setGeometry(m_ui.Picture1->x(), panelTop, m_ui.Picture1->width(), panelHeight);
    if (m_winSeek)
        m_winSeek->move(frameGeometry().x() + frameGeometry().width(), frameGeometry().y());
}

void frmPlayer::cmdShowOptions_Click() {
    if (m_panelHeightTwips == kPanelOpenHeight) {
        m_panelHeightTwips = kPanelFoldedHeight;
        m_ui.cmdShowOptions->setText(QStringLiteral("Show Options"));
        ShowOptions = 0;
    } else {
        m_panelHeightTwips = kPanelOpenHeight;
        m_ui.cmdShowOptions->setText(QStringLiteral("Hide Options"));
        ShowOptions = 1;
    }
    // What the fold cuts off must not take the focus either: Tab or the arrow keys would
    // otherwise change the output or the transition unseen.
    for (QWidget* w : m_ui.belowFold)
        w->setVisible(ShowOptions != 0);
    Form_Resize();
}

} // namespace volaro::app
