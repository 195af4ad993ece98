// The main window as the one player of the session: the list kept from the last run, and
// files handed over by later starts (or the desktop's player controls).

#include "app/frmplayer.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistedit.h"

#include <QDir>

namespace volaro::app {

using playlist::ClipListView;
using playlist::DropFiles;

bool frmPlayer::restoresList() const {
    return m_ui.mnuRestoreList->isChecked();
}

void frmPlayer::setRestoresList(bool on) {
    m_ui.mnuRestoreList->setChecked(on);
}

void frmPlayer::keepListIn(const QString& file) {
    m_keeper = std::make_unique<playlist::ListKeeper>(m_ui.lstClipList->clipModel(), file);
}

QString frmPlayer::restoreKeptList() {
    const QString aside = m_keeper->restore();
    if (!aside.isEmpty())
        return QStringLiteral("The saved list could not be read; it was set aside as %1")
            .arg(QDir::toNativeSeparators(aside));
    m_engine->showPlaying();
    return {};
}

bool frmPlayer::openAndPlay(const QString& path) {
    ClipListView* view = m_ui.lstClipList;
    const int before = view->clipModel().count();
    DropFiles(view->clipModel(), {path}, before + 1, &m_progress);
    if (view->clipModel().count() == before)
        return false;
    // The first added row becomes the one selected, then plays as a double click would.
    view->setMultiSelect(false);
    view->setSelectedItem(before + 1);
    view->setMultiSelect(true);
    m_engine->playSelected();
    return true;
}

void frmPlayer::bringToFront() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

} // namespace volaro::app
