#include "app/mprisbridge.h"

#include "app/frmplayer.h"
#include "playlist/cliplistmodel.h"
#include "system/mprisservice.h"

#include <algorithm>
#include <cmath>

namespace volaro::app {

using playback::PlaybackEngine;
using playback::PlayState;
using playlist::ClipListModel;
using system::MprisHost;
using system::MprisService;
using system::MprisTrack;

MprisBridge::MprisBridge(frmPlayer& window, QDBusConnection bus)
    : m_window(window)
    , m_engine(window.engine())
    , m_list(window.listModel())
    , m_row(m_engine.currentIndex()) // a song the command line started before we came
    , m_service(std::make_unique<MprisService>(hooks())) {
    if (m_service->publish(bus))
        wire();
}

MprisBridge::~MprisBridge() = default;

bool MprisBridge::published() const {
    return m_service->published();
}

MprisHost MprisBridge::hooks() {
    PlaybackEngine* e = &m_engine;
    MprisHost h;
    h.status = [e] {
        switch (e->playState()) {
        case PlayState::Playing:
            return MprisHost::Status::Playing;
        case PlayState::Paused:
            return MprisHost::Status::Paused;
        default:
            return MprisHost::Status::Stopped;
        }
    };
    h.track = [this] { return trackAt(m_row); };
    h.positionUs = [e] {
        playback::Deck* d = e->deck(e->currentDeck());
        return d ? int64_t(d->Position() - e->songStart()) * 1000000 : int64_t(0);
    };
    h.volume = [e] { return double(e->masterLevel()) / PlaybackEngine::MaxLevel; };
    h.shuffle = [e] { return e->shuffle(); };
    h.hasSongs = [this] { return m_list.count() > 0; };

    h.play = [e] { e->play(); };
    h.pause = [e] { e->pause(); };
    h.stop = [e] { e->stop(); };
    h.next = [e] { e->next(); };
    h.previous = [e] { e->back(); };
    h.seekTo = [e](int64_t us) {
        // Taken as the position slider takes it: a point past the end (which may have moved
        // since the song was announced) is the end.
        e->seek(std::clamp<int64_t>(std::llround(double(us) / 1e6), 0,
                                    std::max(0, e->positionMaximum())));
    };
    h.setVolume = [e](double volume) {
        e->setMasterLevel(std::lround(volume * PlaybackEngine::MaxLevel));
    };
    h.setShuffle = [e](bool on) { e->setShuffle(on); };
    h.openAndPlay = [this](const QString& path) { return m_window.openAndPlay(path); };
    h.raise = [this] { m_window.bringToFront(); };
    // The normal close (Stop, save the settings; the application ends with its last
    // window), once the call is answered: the client never waits for the shutdown.
    h.quit = [this] {
        QMetaObject::invokeMethod(&m_window, &frmPlayer::closeUnattended, Qt::QueuedConnection);
    };
    return h;
}

MprisTrack MprisBridge::trackAt(int row) const {
    if (row < 1 || row > m_list.count())
        return {};
    return {m_list.text(row, ClipListModel::ColLocation), m_list.text(row, ClipListModel::ColTitle),
            m_list.text(row, ClipListModel::ColArtist), m_list.text(row, ClipListModel::ColCd),
            int64_t(m_engine.songEnd() - m_engine.songStart()) * 1000000};
}

void MprisBridge::wire() {
    PlaybackEngine* e = &m_engine;
    MprisService* s = m_service.get();
    connect(e, &PlaybackEngine::songStarted, this, [this, s](int row) {
        m_row = row;
        s->songStarted();
    });
    connect(e, &PlaybackEngine::seeked, this, [s] { s->seeked(); });
    const auto changed = [s] { s->stateChanged(); };
    connect(e, &PlaybackEngine::statusTextChanged, this, changed);
    connect(e, &PlaybackEngine::masterLevelChanged, this, changed);
    connect(e, &PlaybackEngine::shuffleChanged, this, changed);
    connect(&m_list, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&m_list, &QAbstractItemModel::modelReset, this, changed);
}

} // namespace volaro::app
