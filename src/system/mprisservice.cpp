#include "system/mprisservice.h"

#include "base/filename.h"
#include "base/mediakinds.h"

#include <QCryptographicHash>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <sys/stat.h>
#include <utility>

namespace volaro::system {

namespace {

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString NoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

QString statusName(MprisHost::Status status) {
    switch (status) {
    case MprisHost::Status::Playing:
        return QStringLiteral("Playing");
    case MprisHost::Status::Paused:
        return QStringLiteral("Paused");
    case MprisHost::Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

// org.mpris.MediaPlayer2: who we are and the window-level commands.
class RootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit RootAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service)
        , m_service(service) {}

    QString identity() const { return QStringLiteral("Volaro"); }
    QString desktopEntry() const { return QStringLiteral("volaro"); }
    bool yes() const { return true; }
    bool no() const { return false; }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const { return base::playableMimeTypes(); }

public slots:
    void Raise() { m_service->host().raise(); }
    void Quit() { m_service->host().quit(); }

private:
    MprisService* m_service;
};

// org.mpris.MediaPlayer2.Player: transport, the song in play and the mixer.
class PlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canControlSongs)
    Q_PROPERTY(bool CanGoPrevious READ canControlSongs)
    Q_PROPERTY(bool CanPlay READ canControlSongs)
    Q_PROPERTY(bool CanPause READ canControlSongs)
    Q_PROPERTY(bool CanSeek READ canControlSongs)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit PlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service)
        , m_service(service) {
        setAutoRelaySignals(true);
    }

    QString playbackStatus() const { return m_service->playbackStatus(); }
    // The list always starts over after its last song; the player has no other mode.
    QString loopStatus() const { return QStringLiteral("Playlist"); }
    void setLoopStatus(const QString&) {}
    double rate() const { return 1.0; }
    void setRate(double) {}
    bool shuffle() const { return m_service->host().shuffle(); }
    void setShuffle(bool on) { m_service->host().setShuffle(on); }
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->host().volume(); }
    void setVolume(double volume) { m_service->setVolume(volume); }
    qlonglong position() const { return m_service->position(); }
    bool canControlSongs() const { return m_service->canControlSongs(); }
    bool yes() const { return true; }

public slots:
    void Next() { m_service->host().next(); }
    void Previous() { m_service->host().previous(); }
    void Pause() { m_service->pause(); }
    void PlayPause() { m_service->playPause(); }
    void Stop() { m_service->host().stop(); }
    void Play() { m_service->play(); }
    void Seek(qlonglong Offset) { m_service->seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        m_service->setPosition(TrackId, Position);
    }
    void OpenUri(const QString& Uri) { m_service->openUri(Uri); }

signals:
    void Seeked(qlonglong Position);

private:
    MprisService* m_service;
};

} // namespace

MprisService::MprisService(MprisHost host, QObject* parent)
    : QObject(parent)
    , m_host(std::move(host)) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
}

MprisService::~MprisService() {
    if (m_bus) {
        m_bus->unregisterService(ServiceName);
        m_bus->unregisterObject(ObjectPath);
    }
}

bool MprisService::publish(QDBusConnection bus) {
    if (m_bus || !bus.isConnected())
        return false;
    // The object first, so a client that sees the name appear finds it at once.
    if (!bus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    if (!bus.registerService(ServiceName)) { // a second instance: the first keeps the name
        bus.unregisterObject(ObjectPath);
        return false;
    }
    m_bus = bus;
    m_track = m_host.track();
    m_announced = current();
    return true;
}

MprisService::Announced MprisService::current() const {
    return {playbackStatus(), m_host.volume(), m_host.shuffle(), m_host.hasSongs()};
}

void MprisService::announce(const QVariantMap& changed) {
    if (!m_bus || changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, PropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << PlayerInterface << changed << QStringList();
    m_bus->send(signal);
}

void MprisService::songStarted() {
    m_track = m_host.track();
    announce({{QStringLiteral("Metadata"), metadata()}});
}

void MprisService::stateChanged() {
    if (!m_bus)
        return;
    const Announced now = current();
    QVariantMap changed;
    if (now.status != m_announced.status)
        changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.volume != m_announced.volume)
        changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.shuffle != m_announced.shuffle)
        changed.insert(QStringLiteral("Shuffle"), now.shuffle);
    if (now.canControl != m_announced.canControl)
        for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"})
            changed.insert(QString::fromLatin1(name), now.canControl);
    m_announced = now;
    announce(changed);
}

void MprisService::seeked() {
    if (m_bus)
        emit Seeked(position());
}

QString MprisService::playbackStatus() const {
    return statusName(m_host.status());
}

QDBusObjectPath MprisService::trackId() const {
    if (m_track.location.isEmpty())
        return QDBusObjectPath(NoTrack);
    // The same file keeps the same id wherever its row moves.
    const QByteArray hash =
        QCryptographicHash::hash(base::fileNameBytes(m_track.location), QCryptographicHash::Sha1)
            .toHex();
    return QDBusObjectPath(QStringLiteral("/org/volaro/Volaro/track/t") +
                           QString::fromLatin1(hash));
}

QVariantMap MprisService::metadata() const {
    QVariantMap map{{QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())}};
    if (m_track.location.isEmpty())
        return map;
    map.insert(QStringLiteral("mpris:length"), qlonglong(m_track.lengthUs));
    map.insert(QStringLiteral("xesam:title"), m_track.title);
    map.insert(QStringLiteral("xesam:url"), base::fileUrl(m_track.location).toString());
    if (!m_track.artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{m_track.artist});
    if (!m_track.album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), m_track.album);
    return map;
}

qlonglong MprisService::position() const {
    return std::max<int64_t>(0, m_host.positionUs());
}

void MprisService::play() {
    if (m_host.hasSongs())
        m_host.play();
}

void MprisService::pause() {
    // The window's Pause button toggles; a client's Pause only ever pauses.
    if (m_host.status() == MprisHost::Status::Playing)
        m_host.pause();
}

void MprisService::playPause() {
    if (m_host.status() == MprisHost::Status::Playing)
        m_host.pause();
    else
        play();
}

void MprisService::seek(qlonglong offsetUs) {
    if (!m_host.hasSongs() || m_track.location.isEmpty())
        return;
    // Compared before adding: an offset near the top of the range must not wrap around.
    const int64_t from = position();
    if (offsetUs > m_track.lengthUs - from)
        m_host.next(); // past the end is the next song
    else
        m_host.seekTo(std::max<int64_t>(0, from + offsetUs));
}

void MprisService::setPosition(const QDBusObjectPath& id, qlonglong positionUs) {
    if (id != trackId() || positionUs < 0 || positionUs > m_track.lengthUs)
        return;
    m_host.seekTo(positionUs);
}

void MprisService::openUri(const QString& uri) {
    // The file's bytes as the URI escapes them: a name that is not UTF-8 plays too.
    const QString path = base::localPathOf(QUrl(uri));
    struct stat st {};
    const bool added = !path.isEmpty() && ::stat(base::fileNameBytes(path).constData(), &st) == 0 &&
                       S_ISREG(st.st_mode) && m_host.openAndPlay(path);
    if (!added && calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Nothing to play at ") + uri);
}

void MprisService::setVolume(double volume) {
    if (std::isnan(volume))
        return;
    m_host.setVolume(std::clamp(volume, 0.0, 1.0));
}

} // namespace volaro::system

#include "mprisservice.moc"
