#include "app/mprisbridge.h"

#include "app/frmplayer.h"
#include "playlist/cliplistview.h"
#include "system/mprisservice.h"

#include <cmath>

namespace volaro::app {

using playback::PlaybackEngine;
using playlist::ClipListModel;
using system::MprisHost;
using system::MprisService;
using system::MprisTrack;

MprisBridge::MprisBridge(frmPlayer& window, QDBusConnection bus)
    : m_window(window)
    , m_service(std::make_unique<MprisService>(static_cast<MprisHost&>(*this))) {
    if (m_service->publish(bus))
        wire();
}

MprisBridge::~MprisBridge() = default;

bool MprisBridge::published() const {
    return m_service->published();
}

void MprisBridge::wire() {
    PlaybackEngine* e = &m_window.engine();
    FrmPlayerUi& u = m_window.ui();
    MprisService* s = m_service.get();
    connect(e, &PlaybackEngine::songStarted, this, [s] { s->songStarted(); });
    const auto changed = [s] { s->stateChanged(); };
    connect(e, &PlaybackEngine::statusTextChanged, this, changed);
    connect(e, &PlaybackEngine::masterLevelChanged, this, changed);
    connect(e, &PlaybackEngine::shuffleChanged, this, changed);
    ClipListModel* list = &u.lstClipList->clipModel();
    connect(list, &QAbstractItemModel::rowsInserted, this, changed);
    connect(list, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(list, &QAbstractItemModel::modelReset, this, changed);
    // The window mirrors the engine's position with the slider's signals blocked, so a
    // value change here is a seek: the user's drag or a client's through seekTo.
    connect(u.hscPosition, &QScrollBar::valueChanged, this, [s] { s->seeked(); });
}

MprisBridge::Status MprisBridge::status() const {
    switch (m_window.engine().playState()) {
    case playback::PlayState::Playing:
        return Status::Playing;
    case playback::PlayState::Paused:
        return Status::Paused;
    default:
        return Status::Stopped;
    }
}

MprisTrack MprisBridge::track() const {
    const PlaybackEngine& e = m_window.engine();
    const ClipListModel& list = m_window.ui().lstClipList->clipModel();
    const int row = e.currentIndex();
    if (row < 1 || row > list.count())
        return {};
    return {list.text(row, ClipListModel::ColLocation), list.text(row, ClipListModel::ColTitle),
            list.text(row, ClipListModel::ColArtist), list.text(row, ClipListModel::ColCd),
            int64_t(e.songEnd() - e.songStart()) * 1000000};
}

int64_t MprisBridge::positionUs() const {
    PlaybackEngine& e = m_window.engine();
    playback::Deck* d = e.deck(e.currentDeck());
    return d ? int64_t(d->Position() - e.songStart()) * 1000000 : 0;
}

double MprisBridge::volume() const {
    return double(m_window.engine().masterLevel()) / PlaybackEngine::MaxLevel;
}

bool MprisBridge::shuffle() const {
    return m_window.engine().shuffle();
}

bool MprisBridge::hasSongs() const {
    return m_window.ui().lstClipList->clipModel().count() > 0;
}

void MprisBridge::play() {
    m_window.ui().btnPlay->click();
}
void MprisBridge::pause() {
    m_window.ui().btnPause->click();
}
void MprisBridge::stop() {
    m_window.ui().btnStop->click();
}
void MprisBridge::next() {
    m_window.ui().btnNext->click();
}
void MprisBridge::previous() {
    m_window.ui().btnBack->click();
}

void MprisBridge::seekTo(int64_t us) {
    m_window.ui().hscPosition->setValue(int(std::llround(double(us) / 1e6)));
}

void MprisBridge::setVolume(double volume) {
    QScrollBar* slider = m_window.ui().hscVolume;
    slider->setValue(int(std::lround(volume * slider->maximum())));
}

void MprisBridge::setShuffle(bool on) {
    m_window.ui().chkRndPlay->setChecked(on);
}

bool MprisBridge::openAndPlay(const QString& path) {
    return m_window.openAndPlay(path);
}

void MprisBridge::raise() {
    m_window.bringToFront();
}

void MprisBridge::quit() {
    // The normal close (Stop, save the settings; the application ends with its last
    // window), once the call is answered: the client never waits for the shutdown.
    QMetaObject::invokeMethod(&m_window, &frmPlayer::closeUnattended, Qt::QueuedConnection);
}

} // namespace volaro::app
