// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QString>

// Where the helper's bus is: the system bus (which honours
// DBUS_SYSTEM_BUS_ADDRESS), or an explicit address for tests and tools.
// Connections are opened by name so that a lost one can be replaced: the
// shared system-bus connection of QtDBus can never be reopened.
class BusEndpoint final {
public:
    BusEndpoint() = default;
    explicit BusEndpoint(QString address)
        : m_address(std::move(address)) {}

    // Closes any earlier connection of this name first.
    QDBusConnection open(const QString& connectionName) const;
    static void close(const QString& connectionName);

    // A connection name no other object of this process uses.
    static QString uniqueConnectionName(const QString& prefix);

private:
    QString m_address;
};
