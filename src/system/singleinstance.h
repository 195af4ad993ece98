#pragma once

// SingleInstance: one player per desktop session. The first start takes a name of its own
// on the session bus (io.example.Volaro); a later start hands its file to the player that
// holds the name and ends, so a second double click in the file manager adds a song to the
// list in play instead of starting a second player over it.
//
// Call order: construct, then claim() once, before the window is built (a start that hands
// over should end at once). When claim() says First, openRequested() brings every later
// start's file; connect it before the event loop runs. A start asked for a separate player
// takes the name when it is free, and otherwise runs beside the session's player.
//
// A player that does not answer within answerMs counts as hung: the new start runs on its
// own. The hand-over carries the time the new start stops waiting, so a hung player that
// wakes up later refuses the file instead of playing it a second time.
//
// Threading: GUI thread only (the bus delivers calls on the thread that owns the object).

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>

namespace volaro::system {

class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.example.Volaro.Instance")
public:
    static inline const QString ServiceName = QStringLiteral("io.example.Volaro");
    static inline const QString ObjectPath = QStringLiteral("/io/example/Volaro");
    static inline const QString Interface = QStringLiteral("io.example.Volaro.Instance");
    static constexpr int AnswerMs = 1000;

    enum class Start {
        First,      // this start holds the name: it is the session's player
        HandedOver, // the session's player took the file: end now
        Beside,     // the session's player is hung, or a separate one was asked for
        NoBus       // no session bus: a player on its own
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // path: an absolute path, or empty to only bring the running player's window up.
    // handOver false: never hand over (a separate player asked for).
    Start claim(QDBusConnection bus, const QString& path, bool handOver = true,
                int answerMs = AnswerMs);

public slots:
    // Called over the bus by a later start. True when taken; false once the caller's
    // deadline (milliseconds since the epoch) has passed, as it then plays the file itself.
    Q_SCRIPTABLE bool Open(const QString& path, qlonglong deadlineMs);

signals:
    // A later start's file (empty: none); the player adds and plays it, and raises itself.
    void openRequested(const QString& path);

private:
    std::optional<QDBusConnection> m_bus;
};

} // namespace volaro::system
