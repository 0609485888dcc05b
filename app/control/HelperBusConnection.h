// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class ComVeltraneHelperProtocolInterface;

// The application's one bus connection to the helper at a time, with the
// generated proxy of its interface and the watcher of its name. A lost
// connection is never reopened: a new one replaces it as a whole, so that
// nothing of an old connection can report on a new one.
class HelperBusConnection final : public QObject {
    Q_OBJECT

public:
    // A short pause before the helper that left is asked again, and before a
    // lost bus is tried again: whatever ended them gets the moment to finish.
    static constexpr std::chrono::milliseconds kPauseAfterLoss{500};

    // A helper that does not answer within `replyTimeout` gets the bus's own
    // error instead.
    HelperBusConnection(BusEndpoint bus, std::chrono::milliseconds replyTimeout,
                        QObject* parent = nullptr);
    ~HelperBusConnection() override;

    // A connection has been opened, whether or not the bus still carries it.
    bool isOpened() const { return m_link != nullptr; }
    // The current connection still carries messages.
    bool isConnected() const;
    // Replaces the current connection. Throws helperCommunicationFailed when
    // the bus cannot be reached.
    void open();
    // The proxy on a connection that carries messages: a lost bus connection
    // carries no more, so a new one is opened (and may throw as open() does)
    // rather than failing until someone reinstalls.
    ComVeltraneHelperProtocolInterface& callableProxy();

    // These need isOpened().
    ComVeltraneHelperProtocolInterface& proxy() const;
    QDBusConnection& connection() const;
    // Ends with the current connection, and ends the calls still waiting on
    // it: what must not outlive the connection lives under it.
    QObject& life() const;

    // The unique name this client has on the bus, as the helper sees it;
    // empty before a connection is opened.
    QString ownName() const;

    // Calls `receiver`'s `slot` (by signature, as QtDBus 6.4 takes it) for
    // the signal `name` on the current connection, from any sender, until
    // the connection is replaced or closed. Needs isOpened().
    void subscribe(const QString& path, const QString& interface, const QString& name,
                   QObject* receiver, const char* slot);

    // Tries to open a new connection a few times, at doubling pauses, unless
    // one is up by then.
    void reconnectSoon();

Q_SIGNALS:
    // A connection is up; `replacesLostOne` when an earlier one went before it.
    void opened(bool replacesLostOne);
    // The current connection is gone.
    void lost();
    // The bus told of a new owner of the helper's name, or of none (empty).
    void helperOwnerChanged(const QString& owner);

private Q_SLOTS:
    void busLost();

private:
    class Link;

    void reconnectLater(std::chrono::milliseconds pause);

    BusEndpoint m_bus;
    std::chrono::milliseconds m_replyTimeout;
    std::unique_ptr<Link> m_link;
    // Tries left to reconnect after the bus connection was lost.
    int m_reconnectsLeft = 0;
};
