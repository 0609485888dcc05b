// SPDX-License-Identifier: MIT
#pragma once

#include "HelperBusConnection.h"
#include "HelperReplyMapper.h"
#include "HelperState.h"

#include <QCoro/QCoroTask>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

// The helper's state as this client follows it: read with GetState, then
// taken from the helper's StateChanged signals over whichever connection is
// current. Publishes newer states only, by the helper's serial, so that a
// read answered after a newer signal is dropped; a helper process that
// starts again counts afresh.
class HelperStateFollower final : public QObject {
    Q_OBJECT

public:
    HelperStateFollower(HelperBusConnection& bus, HelperReplyMapper replies,
                        QObject* parent = nullptr);

    bool isFollowing() const { return m_following; }
    // From now on, publishes the helper's state: once at once (as read),
    // then after every change it announces, and as unavailable when the
    // helper leaves the bus or the connection is lost, which a new one
    // replaces by itself.
    void follow();
    // The helper's state now, over a connection that carries messages. While
    // following, the answer is published too, unless something newer came.
    QCoro::Task<HelperState> read();

Q_SIGNALS:
    void helperStateChanged(const HelperState& state);

private Q_SLOTS:
    void stateSignalled(const QVariantMap& state, const QDBusMessage& message);

private:
    void connectionOpened();
    void connectionLost();
    // Once per connection, while following.
    void subscribe();
    // The bus told of a new owner of the helper's name, or of none.
    void helperOwnerChanged(const QString& owner);
    // A reply came from `sender`, the helper's current process.
    void answeredBy(const QString& sender);
    // Asks for the state and publishes the answer.
    void refreshState();
    // Emits helperStateChanged unless `state` is older than, or the same as,
    // what was published last.
    void publish(const HelperState& state);
    void publishUnavailable();
    // GetState's answer or StateChanged's argument as this client sees it:
    // it owns the throttling when its connection `self` is the owner.
    static HelperState decodedState(const QVariant& wire, const QString& self);

    HelperBusConnection& m_bus;
    HelperReplyMapper m_replies;
    bool m_following = false;
    // The connection the state signals are subscribed on, by its own name.
    QString m_subscribedOn;
    // The helper process's unique name, as the bus last told it; empty when
    // not known. Its state signals are the only ones taken.
    QString m_helperOwner;
    std::optional<HelperState> m_published;
    // Counts publications, so that a failed read can tell whether anything
    // newer came meanwhile.
    quint64 m_publications = 0;
    // A helper that left is started once more to clean up after itself;
    // not again until it has answered.
    bool m_revivalTried = false;
};
