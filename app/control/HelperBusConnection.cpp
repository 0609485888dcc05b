// SPDX-License-Identifier: MIT
#include "HelperBusConnection.h"

#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ThrottleError.h"

#include <QDBusServiceWatcher>
#include <QPointer>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

// Tries left to reach the bus again after a loss, at doubling pauses:
// about fifteen seconds in all, then the next call tries.
constexpr int kReconnectTries = 5;

} // namespace

// One open connection: the bus connection, the proxy on it and the watcher
// of the helper's name, replaced as a whole.
class HelperBusConnection::Link final {
public:
    explicit Link(const BusEndpoint& bus)
        : name(BusEndpoint::uniqueConnectionName(QStringLiteral("veltrane-helper")))
        , connection(bus.open(name)) {}

    ~Link() {
        // Calls still waiting end first, with an error: QtDBus drops them
        // silently when their connection closes.
        life.reset();
        // What uses the connection goes before the connection.
        watcher.reset();
        proxy.reset();
        // QtDBus deletes a connection in its own thread once the last
        // reference goes, and calls into every object still subscribed to it
        // there without waiting for this one: into this link's owner, say,
        // while a command's end destroys it here. So nothing stays subscribed.
        for (const Subscription& subscription : subscriptions) {
            if (subscription.receiver) {
                connection.disconnect(QString(), subscription.path, subscription.interface,
                                      subscription.name, subscription.receiver, subscription.slot);
            }
        }
        BusEndpoint::close(name);
    }

    struct Subscription {
        QString path;
        QString interface;
        QString name;
        // A subscriber destroyed first has been unsubscribed by QtDBus.
        QPointer<QObject> receiver;
        const char* slot;
    };

    QString name;
    QDBusConnection connection;
    std::vector<Subscription> subscriptions;
    // Its end ends the calls still waiting on this connection.
    std::unique_ptr<QObject> life = std::make_unique<QObject>();
    std::unique_ptr<ComVeltraneHelperProtocolInterface> proxy;
    std::unique_ptr<QDBusServiceWatcher> watcher;
};

HelperBusConnection::HelperBusConnection(BusEndpoint bus, std::chrono::milliseconds replyTimeout,
                                         QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_replyTimeout(replyTimeout) {}

HelperBusConnection::~HelperBusConnection() {
    // Whoever listens goes with this object; the link's end must not report
    // to them half-destroyed.
    blockSignals(true);
    m_link.reset();
}

bool HelperBusConnection::isConnected() const {
    return m_link && m_link->connection.isConnected();
}

void HelperBusConnection::open() {
    auto link = std::make_unique<Link>(m_bus);
    if (!link->connection.isConnected()) {
        const QString reason = link->connection.lastError().message();
        throw ThrottleError::helperCommunicationFailed(
            reason.isEmpty() ? QStringLiteral("No connection available")
                             : QStringLiteral("No connection available: ") + reason);
    }
    const QString helperName = QString::fromUtf8(HelperProtocol::kServiceName);
    link->proxy = std::make_unique<ComVeltraneHelperProtocolInterface>(
        helperName, QString::fromUtf8(HelperProtocol::kObjectPath), link->connection);
    link->proxy->setTimeout(static_cast<int>(m_replyTimeout.count()));
    link->watcher = std::make_unique<QDBusServiceWatcher>(helperName, link->connection,
                                                          QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(link->watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& owner) {
                         Q_EMIT helperOwnerChanged(owner);
                     });
    const bool replacesLostOne = m_link != nullptr;
    m_link = std::move(link);
    subscribe(QStringLiteral("/org/freedesktop/DBus/Local"),
              QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
              SLOT(busLost()));
    Q_EMIT opened(replacesLostOne);
}

ComVeltraneHelperProtocolInterface& HelperBusConnection::callableProxy() {
    if (!isConnected()) {
        open();
    }
    return *m_link->proxy;
}

ComVeltraneHelperProtocolInterface& HelperBusConnection::proxy() const {
    return *m_link->proxy;
}

QDBusConnection& HelperBusConnection::connection() const {
    return m_link->connection;
}

QObject& HelperBusConnection::life() const {
    return *m_link->life;
}

QString HelperBusConnection::ownName() const {
    return m_link ? m_link->connection.baseService() : QString();
}

void HelperBusConnection::subscribe(const QString& path, const QString& interface,
                                    const QString& name, QObject* receiver, const char* slot) {
    if (m_link->connection.connect(QString(), path, interface, name, receiver, slot)) {
        m_link->subscriptions.push_back({path, interface, name, receiver, slot});
    }
}

void HelperBusConnection::busLost() {
    // A connection already replaced can report its end late, after the new
    // one is up: only the current connection's end counts.
    if (isConnected()) {
        return;
    }
    Q_EMIT lost();
}

void HelperBusConnection::reconnectSoon() {
    m_reconnectsLeft = kReconnectTries;
    reconnectLater(kPauseAfterLoss);
}

void HelperBusConnection::reconnectLater(std::chrono::milliseconds pause) {
    QTimer::singleShot(pause, this, [this, pause] {
        if (isConnected()) {
            return;
        }
        try {
            open();
        } catch (const ThrottleError&) {
            if (--m_reconnectsLeft > 0) {
                reconnectLater(pause * 2);
            }
        }
    });
}
