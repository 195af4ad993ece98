#pragma once

// MprisService: the player on the session bus as org.mpris.MediaPlayer2.volaro, so media
// keys, the desktop's sound menu and scripts (playerctl) can see and drive it. It only
// translates: every command goes to the MprisHost, and what the host reports goes out as
// properties and their PropertiesChanged signals.
//
// Call order: construct with the host, publish() once; after that the wiring tells the
// service when something may have changed (songStarted, stateChanged, seeked). Without a
// bus, or with the name owned by another instance, publish() returns false and the
// service stays silent.
//
// Nothing here runs on a timer: Position is read from the host when a client asks, and
// the notifications only compare a few values with what was last announced.
//
// Threading: GUI thread only (the bus delivers calls on the thread that owns the object).

#include "system/mprishost.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace volaro::system {

// QDBusContext: the adaptors' calls run with the context set on this object.
class MprisService final : public QObject, public QDBusContext {
    Q_OBJECT
public:
    static inline const QString ServiceName = QStringLiteral("org.mpris.MediaPlayer2.volaro");
    static inline const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

    explicit MprisService(MprisHost host, QObject* parent = nullptr);
    ~MprisService() override;

    bool publish(QDBusConnection bus);
    bool published() const { return m_bus.has_value(); }

    // A song started: its metadata is taken now and announced.
    void songStarted();
    // The play state, volume, shuffle or the list may have changed.
    void stateChanged();
    // The position jumped (a seek by the user or a client).
    void seeked();

    // --- What the adaptors forward ---------------------------------------------------
    const MprisHost& host() const { return m_host; }
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canControlSongs() const { return m_host.hasSongs(); }

    void play();
    void pause();
    void playPause();
    void seek(qlonglong offsetUs);
    void setPosition(const QDBusObjectPath& trackId, qlonglong positionUs);
    // A file:// address of an existing file; anything else is refused with an error.
    void openUri(const QString& uri);
    void setVolume(double volume);

signals:
    void Seeked(qlonglong Position);

private:
    struct Announced {
        QString status;
        double volume = -1;
        bool shuffle = false;
        bool canControl = false;
    };
    Announced current() const;
    QDBusObjectPath trackId() const;
    void announce(const QVariantMap& changed);

    MprisHost m_host;
    std::optional<QDBusConnection> m_bus;
    MprisTrack m_track;
    Announced m_announced;
};

} // namespace volaro::system
