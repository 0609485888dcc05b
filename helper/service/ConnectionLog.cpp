// SPDX-License-Identifier: MIT
#include "ConnectionLog.h"

#include "Logger.h"

ConnectionLog::ConnectionLog(const Logger& logger, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_logger(logger) {
    // arg2 '' matches exactly the names whose new owner is nobody. QtDBus
    // 6.4 subscribes to bus signals only by slot signature.
    m_watching =
        bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                    QStringList{QString(), QString(), QStringLiteral("")}, QStringLiteral("sss"),
                    this, SLOT(nameOwnerChanged(QString, QString, QString)));
}

void ConnectionLog::noteCaller(const QString& uniqueName) {
    if (uniqueName.isEmpty() || m_clients.contains(uniqueName)) {
        return;
    }
    if (m_watching) {
        m_clients.insert(uniqueName);
    }
    m_logger.log("Accepted new XPC connection");
}

void ConnectionLog::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    // A unique name ends with its connection; a well-known one only changes
    // hands.
    if (!newOwner.isEmpty() || !name.startsWith(QLatin1Char(':'))) {
        return;
    }
    if (m_clients.remove(name)) {
        m_logger.log("XPC connection invalidated");
    }
    Q_EMIT connectionClosed(name);
}
