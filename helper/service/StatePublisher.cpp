// SPDX-License-Identifier: MIT
#include "StatePublisher.h"

#include "HelperProtocol.h"
#include "ParameterDictionary.h"
#include "ThrottleOwnership.h"

StatePublisher::StatePublisher(const ThrottleOwnership& ownership, QObject* parent)
    : QObject(parent)
    , m_ownership(ownership) {
    publish();
}

void StatePublisher::takeIn(const EngineJobs::Outcome& outcome) {
    if (outcome.skipped) {
        return;
    }
    m_active = outcome.active;
    if (outcome.failure.isEmpty()) {
        m_cleanupFailure.clear();
    } else if (!outcome.cleanupFailure.isEmpty()) {
        m_cleanupFailure = outcome.cleanupFailure;
    }
}

void StatePublisher::publish() {
    namespace Key = HelperProtocol::State;
    QVariantMap state{{QString::fromLatin1(Key::kActive), m_active}};
    if (m_active && m_ownership.current()) {
        state.insert(QString::fromLatin1(Key::kConfiguration),
                     ParameterDictionary::toWire(m_ownership.current()->parameters));
        state.insert(QString::fromLatin1(Key::kOwner), m_ownership.current()->owner.toWire());
    }
    if (!m_cleanupFailure.isEmpty()) {
        state.insert(QString::fromLatin1(Key::kFailure), m_cleanupFailure);
    }
    if (state == m_published) {
        return;
    }
    m_published = state;
    ++m_serial;
    Q_EMIT stateChanged(this->state());
}

QVariantMap StatePublisher::state() const {
    QVariantMap state = m_published;
    state.insert(QString::fromLatin1(HelperProtocol::State::kSerial), m_serial);
    return state;
}
