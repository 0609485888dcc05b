// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

// The answer to one bus call, sent when the work is done, from any thread.
// Its value types come from the method's declaration in the interface
// description (see HelperBusObject), so a reply that does not fit the
// interface does not compile.
template <typename... Outs>
class DelayedReply final {
public:
    DelayedReply(QDBusMessage call, QDBusConnection bus)
        : m_call(std::move(call))
        , m_bus(std::move(bus)) {}

    // The unique bus name of the caller.
    QString caller() const { return m_call.service(); }

    void send(const Outs&... values) const {
        // A caller that asked for no reply gets none: the bus would refuse
        // an unexpected one anyway.
        if (m_call.isReplyRequired()) {
            m_bus.send(m_call.createReply(QVariantList{QVariant::fromValue(values)...}));
        }
    }

    // A named bus error instead, for the members that have them.
    void sendError(const QString& name, const QString& text) const {
        if (m_call.isReplyRequired()) {
            m_bus.send(m_call.createErrorReply(name, text));
        }
    }

private:
    QDBusMessage m_call;
    QDBusConnection m_bus;
};
