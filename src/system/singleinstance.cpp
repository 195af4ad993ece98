#include "system/singleinstance.h"

#include <QDBusMessage>
#include <QDateTime>

namespace volaro::system {

namespace {

// Left of the wait for the answer to travel back once the player took the file.
constexpr int ReplyMarginMs = 200;

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (m_bus) {
        m_bus->unregisterService(ServiceName);
        m_bus->unregisterObject(ObjectPath);
    }
}

SingleInstance::Start SingleInstance::claim(QDBusConnection bus, const QString& path, bool handOver,
                                            int answerMs) {
    if (m_bus || !bus.isConnected())
        return Start::NoBus;
    // Twice: the player holding the name may end between our request and our call.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The object first, so a start that sees the name finds it at once.
        if (!bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots))
            return Start::Beside;
        if (bus.registerService(ServiceName)) {
            m_bus = bus;
            return Start::First;
        }
        bus.unregisterObject(ObjectPath);
        if (!handOver)
            return Start::Beside;

        QDBusMessage call = QDBusMessage::createMethodCall(ServiceName, ObjectPath, Interface,
                                                           QStringLiteral("Open"));
        call << path << qlonglong(QDateTime::currentMSecsSinceEpoch() + answerMs - ReplyMarginMs);
        call.setAutoStartService(false);
        const QDBusMessage reply = bus.call(call, QDBus::Block, answerMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool()
                       ? Start::HandedOver
                       : Start::Beside;
        if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"))
            break; // no answer in time, or a stranger holds the name
    }
    return Start::Beside;
}

bool SingleInstance::Open(const QString& path, qlonglong deadlineMs) {
    if (QDateTime::currentMSecsSinceEpoch() > deadlineMs)
        return false;
    // Answered first: the new start ends at once while the player opens the file.
    QMetaObject::invokeMethod(
        this, [this, path] { emit openRequested(path); }, Qt::QueuedConnection);
    return true;
}

} // namespace volaro::system
