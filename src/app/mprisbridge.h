#pragma once

// MprisBridge: the main window as the desktop's player controls see it. It answers the
// bus service from the window's engine and list, runs every command through the window's
// own buttons and sliders (so window and bus can never disagree), and tells the service
// when what it announces may have changed.
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

namespace volaro::system {
class MprisService;
}

namespace volaro::app {

class frmPlayer;

class MprisBridge final : public QObject, private system::MprisHost {
    Q_OBJECT
public:
    explicit MprisBridge(frmPlayer& window, QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisBridge() override;

    bool published() const;

private:
    // MprisHost
    Status status() const override;
    system::MprisTrack track() const override;
    int64_t positionUs() const override;
    double volume() const override;
    bool shuffle() const override;
    bool hasSongs() const override;
    void play() override;
    void pause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void seekTo(int64_t us) override;
    void setVolume(double volume) override;
    void setShuffle(bool on) override;
    bool openAndPlay(const QString& path) override;
    void raise() override;
    void quit() override;

    void wire();

    frmPlayer& m_window;
    std::unique_ptr<system::MprisService> m_service;
};

} // namespace volaro::app
