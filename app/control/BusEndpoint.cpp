// SPDX-License-Identifier: MIT
#include "BusEndpoint.h"

#include <atomic>

QDBusConnection BusEndpoint::open(const QString& connectionName) const {
    close(connectionName);
    return m_address.isEmpty()
               ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, connectionName)
               : QDBusConnection::connectToBus(m_address, connectionName);
}

void BusEndpoint::close(const QString& connectionName) {
    QDBusConnection::disconnectFromBus(connectionName);
}

QString BusEndpoint::uniqueConnectionName(const QString& prefix) {
    static std::atomic<quint64> counter{0};
    return prefix + u'-' + QString::number(++counter);
}
