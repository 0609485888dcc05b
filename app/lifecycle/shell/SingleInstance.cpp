// SPDX-License-Identifier: MIT
#include "SingleInstance.h"

#include <QDBusMessage>

namespace {

// A session bus that takes longer is broken; the process then runs alone.
constexpr int kCallTimeoutMs = 5000;

// RequestName's flag and answers (the bus specification's values).
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;

QDBusMessage busDriverCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    return call;
}

} // namespace

SingleInstance::SingleInstance(QDBusConnection sessionBus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(sessionBus)) {}

SingleInstance::~SingleInstance() {
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
}

SingleInstance::Claim SingleInstance::claim(QString* problem) {
    if (!m_bus.isConnected()) {
        *problem = QStringLiteral("no session bus (%1)").arg(m_bus.lastError().message());
        return Claim::unknown;
    }
    // Served before the name is taken: whoever finds the name owned calls
    // at once. Calls are answered once the event loop runs.
    if (!m_bus.registerObject(QString::fromLatin1(objectPath), this,
                              QDBusConnection::ExportScriptableSlots)) {
        *problem = QStringLiteral("cannot serve %1 on the session bus")
                       .arg(QString::fromLatin1(objectPath));
        return Claim::unknown;
    }
    const QDBusMessage request =
        m_bus.call(busDriverCall(QStringLiteral("RequestName"),
                                 {QString::fromLatin1(serviceName), kDoNotQueue}),
                   QDBus::Block, kCallTimeoutMs);
    if (request.type() != QDBusMessage::ReplyMessage) {
        *problem = QStringLiteral("cannot own %1 on the session bus: %2")
                       .arg(QString::fromLatin1(serviceName), request.errorMessage());
        return Claim::unknown;
    }
    const uint answer = request.arguments().value(0).toUInt();
    if (answer == kPrimaryOwner || answer == kAlreadyOwner) {
        m_owned = true;
        return Claim::owned;
    }
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
    const QDBusMessage activation =
        m_bus.call(QDBusMessage::createMethodCall(
                       QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                       QString::fromLatin1(interfaceName), QStringLiteral("Activate")),
                   QDBus::Block, kCallTimeoutMs);
    if (activation.type() != QDBusMessage::ReplyMessage) {
        *problem = QStringLiteral("it did not open its panel: ") + activation.errorMessage();
    }
    return Claim::runningElsewhere;
}

void SingleInstance::release() {
    if (!std::exchange(m_owned, false)) {
        return;
    }
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
    m_bus.send(busDriverCall(QStringLiteral("ReleaseName"), {QString::fromLatin1(serviceName)}));
}

void SingleInstance::Activate() {
    Q_EMIT activated();
}
