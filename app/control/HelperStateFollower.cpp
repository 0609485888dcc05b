// SPDX-License-Identifier: MIT
#include "HelperStateFollower.h"

#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ThrottleError.h"

#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QTimer>

#include <utility>

HelperStateFollower::HelperStateFollower(HelperBusConnection& bus, HelperReplyMapper replies,
                                         QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_replies(std::move(replies)) {
    connect(&m_bus, &HelperBusConnection::opened, this, &HelperStateFollower::connectionOpened);
    connect(&m_bus, &HelperBusConnection::lost, this, &HelperStateFollower::connectionLost);
    connect(&m_bus, &HelperBusConnection::helperOwnerChanged, this,
            &HelperStateFollower::helperOwnerChanged);
}

void HelperStateFollower::follow() {
    if (m_following) {
        return;
    }
    m_following = true;
    try {
        // A connection opened here subscribes by itself.
        if (m_bus.isConnected()) {
            subscribe();
        } else {
            m_bus.open();
        }
    } catch (const ThrottleError&) {
        publishUnavailable();
    }
}

QCoro::Task<HelperState> HelperStateFollower::read() {
    QDBusPendingCall call = m_bus.callableProxy().GetState();
    const QString self = m_bus.ownName();
    // Published only while this object and the connection asked on remain:
    // either may be gone when the answer comes.
    const QPointer<HelperStateFollower> alive(this);
    const QPointer<QObject> connectionLife = &m_bus.life();
    const QDBusMessage reply = co_await m_replies.dictionaryReplyOf(std::move(call), m_bus.life());
    const HelperState state = decodedState(reply.arguments().constFirst(), self);
    if (alive && connectionLife && m_following) {
        answeredBy(reply.service());
        publish(state);
    }
    co_return state;
}

void HelperStateFollower::connectionOpened() {
    // Nothing is known of the helper on a new connection yet.
    m_helperOwner.clear();
    if (m_following) {
        subscribe();
    }
}

void HelperStateFollower::connectionLost() {
    if (m_following) {
        publishUnavailable();
        m_bus.reconnectSoon();
    }
}

void HelperStateFollower::subscribe() {
    const QString connectionName = m_bus.connection().name();
    if (std::exchange(m_subscribedOn, connectionName) == connectionName) {
        return;
    }
    // From any sender, filtered by the helper's unique name here: naming
    // the helper's well-known name would make QtDBus look its owner up with
    // a blocking call.
    m_bus.subscribe(QString::fromUtf8(HelperProtocol::kObjectPath),
                    QString::fromUtf8(HelperProtocol::kInterfaceName),
                    QStringLiteral("StateChanged"), this,
                    SLOT(stateSignalled(QVariantMap, QDBusMessage)));
    refreshState();
}

void HelperStateFollower::stateSignalled(const QVariantMap& state, const QDBusMessage& message) {
    if (!m_bus.isOpened() || message.service() != m_helperOwner) {
        // Before the helper's name is known, a signal can be trusted only by
        // asking the helper itself.
        if (m_helperOwner.isEmpty()) {
            refreshState();
        }
        return;
    }
    publish(decodedState(state, m_bus.ownName()));
}

void HelperStateFollower::helperOwnerChanged(const QString& owner) {
    if (owner == m_helperOwner) {
        return;
    }
    m_helperOwner = owner;
    if (!m_following) {
        return;
    }
    // Another helper process counts its serials from the start again.
    m_published.reset();
    if (!owner.isEmpty()) {
        refreshState();
        return;
    }
    publishUnavailable();
    // Asking starts it again through the bus, and a helper that starts
    // restores or removes the throttling that was held; only once until it
    // has answered, so that a helper that cannot start is not started in a
    // loop.
    if (!std::exchange(m_revivalTried, true)) {
        QTimer::singleShot(HelperBusConnection::kPauseAfterLoss, &m_bus.life(),
                           [this] { refreshState(); });
    }
}

void HelperStateFollower::answeredBy(const QString& sender) {
    if (sender == m_helperOwner) {
        return;
    }
    // An answer before the bus told of an owner change (a connection of
    // its own knows none yet) names the helper too.
    if (!m_helperOwner.isEmpty()) {
        m_published.reset();
    }
    m_helperOwner = sender;
}

void HelperStateFollower::refreshState() {
    if (!m_bus.isOpened()) {
        return;
    }
    const quint64 asked = m_publications;
    // A child of the connection's life: it goes, unanswered, with the connection.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.proxy().GetState(), &m_bus.life());
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, asked] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == u"a{sv}") {
            answeredBy(reply.service());
            publish(decodedState(reply.arguments().constFirst(), m_bus.ownName()));
        } else if (asked == m_publications) {
            publishUnavailable();
        }
    });
}

void HelperStateFollower::publish(const HelperState& state) {
    if (m_published && m_published->available == state.available &&
        (state.serial < m_published->serial || state == *m_published)) {
        return;
    }
    if (state.available) {
        m_revivalTried = false;
    }
    m_published = state;
    ++m_publications;
    Q_EMIT helperStateChanged(state);
}

void HelperStateFollower::publishUnavailable() {
    publish(HelperState{});
}

HelperState HelperStateFollower::decodedState(const QVariant& wire, const QString& self) {
    HelperState state = HelperState::fromWire(qdbus_cast<QVariantMap>(wire));
    if (state.owner) {
        state.owner->isThisClient = !self.isEmpty() && state.owner->busName == self;
    }
    for (HelperThrottle& throttle : state.throttles) {
        throttle.owner.isThisClient = !self.isEmpty() && throttle.owner.busName == self;
    }
    return state;
}
