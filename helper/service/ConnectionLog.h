// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

class Logger;

// Logs a client's first call ("Accepted new XPC connection") and its leaving
// ("XPC connection invalidated"). One subscription to every name that loses
// its owner covers all clients from the start: a client that leaves right
// after calling is forgotten like any other, and no client costs a match
// rule of its own on the bus, which allows only so many per connection. The
// same subscription tells who else listens when a connection closes.
class ConnectionLog final : public QObject {
    Q_OBJECT

public:
    ConnectionLog(const Logger& logger, QDBusConnection bus, QObject* parent = nullptr);

    // False when the bus refused the subscription; clients are then logged
    // as they come and never remembered.
    bool isWatching() const { return m_watching; }

    void noteCaller(const QString& uniqueName);
    qsizetype clientCount() const { return m_clients.size(); }

Q_SIGNALS:
    // Any connection left the bus, client or not: a holder of throttling may
    // never have called before it held.
    void connectionClosed(const QString& uniqueName);

private Q_SLOTS:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    const Logger& m_logger;
    QSet<QString> m_clients;
    bool m_watching = false;
};
