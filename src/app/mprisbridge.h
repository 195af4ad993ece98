#pragma once

// MprisBridge: the player as the desktop's player controls see it. It answers the bus
// service from the engine and the list, runs every command through the engine routines
// the window's own buttons and sliders call (so window and bus can never disagree), and
// tells the service when what it announces may have changed.
//
// Call order: construct after frmPlayer::Form_Load; it publishes at once on `bus`. When
// there is no bus, or another instance owns the name, the player runs on without it and
// nothing is shown.
//
// Threading: GUI thread only.

#include "system/mprishost.h"

#include <QDBusConnection>
#include <QObject>
#include <memory>

namespace volaro::playback {
class PlaybackEngine;
}
namespace volaro::playlist {
class ClipListModel;
}
namespace volaro::system {
class MprisService;
}

namespace volaro::app {

class frmPlayer;

class MprisBridge final : public QObject {
    Q_OBJECT
public:
    explicit MprisBridge(frmPlayer& window, QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisBridge() override;

    bool published() const;

private:
    system::MprisHost hooks();
    system::MprisTrack trackAt(int row) const;
    void wire();

    frmPlayer& m_window;
    playback::PlaybackEngine& m_engine;
    playlist::ClipListModel& m_list;
    int m_row = 0; // the row whose song started last
    std::unique_ptr<system::MprisService> m_service;
};

} // namespace volaro::app
