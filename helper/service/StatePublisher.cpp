// SPDX-License-Identifier: MIT
#include "StatePublisher.h"

#include "HelperProtocol.h"
#include "ParameterDictionary.h"
#include "ScopeDictionary.h"
#include "ThrottleOwnership.h"

StatePublisher::StatePublisher(ThrottleOwnership& ownership, QObject* parent)
    : QObject(parent)
    , m_ownership(ownership) {
    publish();
}

void StatePublisher::settle(const EngineJobs::Outcome& outcome) {
    if (outcome.skipped) {
        return;
    }
    m_ownership.keepOnly(outcome.throttles);
    m_active = outcome.active;
    if (outcome.failure.isEmpty()) {
        m_cleanupFailure.clear();
    } else if (!outcome.cleanupFailure.isEmpty()) {
        m_cleanupFailure = outcome.cleanupFailure;
    }
    publish();
}

void StatePublisher::publish() {
    namespace Key = HelperProtocol::State;
    QVariantMap state{{QString::fromLatin1(Key::kActive), m_active}};
    if (const auto* principal = m_active ? m_ownership.principal() : nullptr) {
        state.insert(QString::fromLatin1(Key::kConfiguration),
                     ParameterDictionary::toWire(principal->parameters));
        state.insert(QString::fromLatin1(Key::kOwner), principal->owner.toWire());
        state.insert(QString::fromLatin1(Key::kThrottles), QVariant::fromValue(throttles()));
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

void StatePublisher::showSchedule(quint64 id, const QVariantMap& standing) {
    if (standing.isEmpty()) {
        m_schedules.erase(id);
    } else {
        m_schedules.insert_or_assign(id, standing);
    }
}

QList<QVariantMap> StatePublisher::throttles() const {
    namespace Key = HelperProtocol::Throttle;
    QList<QVariantMap> list;
    for (const auto& [id, record] : m_ownership.throttles()) {
        QVariantMap scope = ScopeDictionary::toWire(record.scope);
        if (!record.scope.destinations.empty()) {
            // The helper never resolves: the addresses in force are those sent.
            scope.insert(QString::fromLatin1(ScopeDictionary::kAddresses),
                         scope.value(QString::fromLatin1(ScopeDictionary::kDestinations)));
        }
        QVariantMap throttle{{QString::fromLatin1(Key::kId), id},
                             {QString::fromLatin1(Key::kScope), scope},
                             {QString::fromLatin1(Key::kConfiguration),
                              ParameterDictionary::toWire(record.parameters)},
                             {QString::fromLatin1(Key::kOwner), record.owner.toWire()}};
        if (const auto standing = m_schedules.find(id); standing != m_schedules.end()) {
            throttle.insert(QString::fromLatin1(Key::kSchedule), standing->second);
        }
        list.append(throttle);
    }
    return list;
}

QVariantMap StatePublisher::state() const {
    QVariantMap state = m_published;
    state.insert(QString::fromLatin1(HelperProtocol::State::kSerial), m_serial);
    return state;
}
