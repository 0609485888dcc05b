// SPDX-License-Identifier: MIT
#include "HelperState.h"

#include "BusValues.h"
#include "HelperProtocol.h"
#include "ParameterDictionary.h"
#include "ScopeDictionary.h"

namespace {

// A list of dictionaries (aa{sv}), marshalled or not.
QList<QVariantMap> listOf(const QVariant& value) {
    if (value.typeId() == qMetaTypeId<QList<QVariantMap>>()) {
        return value.value<QList<QVariantMap>>();
    }
    QList<QVariantMap> list;
    for (const QVariant& each : BusValues::plain(value).toList()) {
        list.append(BusValues::plainMap(each));
    }
    return list;
}

template <typename T>
std::optional<T> valueOf(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QString::fromLatin1(key));
    if (!value.isValid() || !value.canConvert<T>()) {
        return std::nullopt;
    }
    return value.value<T>();
}

} // namespace

QString ThrottleOwner::displayName() const {
    return description.isEmpty() ? QStringLiteral("process %1").arg(pid) : description;
}

ThrottleOwner ThrottleOwner::fromWire(const QVariantMap& owner) {
    namespace Owner = HelperProtocol::Owner;
    ThrottleOwner decoded;
    decoded.busName = valueOf<QString>(owner, Owner::kBusName).value_or(QString());
    decoded.uid = valueOf<uint>(owner, Owner::kUid).value_or(0);
    decoded.pid = valueOf<uint>(owner, Owner::kPid).value_or(0);
    decoded.description = valueOf<QString>(owner, Owner::kDescription).value_or(QString());
    if (const auto since = valueOf<qint64>(owner, Owner::kSince)) {
        decoded.since = QDateTime::fromMSecsSinceEpoch(*since, Qt::UTC);
    }
    decoded.held = valueOf<bool>(owner, Owner::kHeld).value_or(false);
    return decoded;
}

HelperState HelperState::fromWire(const QVariantMap& wire) {
    namespace State = HelperProtocol::State;

    HelperState state;
    state.available = true;
    state.active = valueOf<bool>(wire, State::kActive).value_or(false);
    state.serial = valueOf<quint64>(wire, State::kSerial).value_or(0);
    state.failure = valueOf<QString>(wire, State::kFailure).value_or(QString());
    if (!state.active) {
        return state;
    }
    const QVariantMap configuration =
        BusValues::plainMap(wire.value(QString::fromLatin1(State::kConfiguration)));
    if (!configuration.isEmpty()) {
        state.configuration = ParameterDictionary::readWire(configuration);
    }
    const QVariantMap owner = BusValues::plainMap(wire.value(QString::fromLatin1(State::kOwner)));
    if (!owner.isEmpty()) {
        state.owner = ThrottleOwner::fromWire(owner);
    }
    namespace Key = HelperProtocol::Throttle;
    for (const QVariantMap& each : listOf(wire.value(QString::fromLatin1(State::kThrottles)))) {
        HelperThrottle throttle;
        throttle.id = valueOf<quint64>(each, Key::kId).value_or(0);
        const QVariantMap scope = BusValues::plainMap(each.value(QString::fromLatin1(Key::kScope)));
        throttle.scope = ScopeDictionary::readWire(scope);
        throttle.addresses =
            scope.value(QString::fromLatin1(ScopeDictionary::kAddresses)).toStringList();
        throttle.configuration = ParameterDictionary::readWire(
            BusValues::plainMap(each.value(QString::fromLatin1(Key::kConfiguration))));
        throttle.owner = ThrottleOwner::fromWire(
            BusValues::plainMap(each.value(QString::fromLatin1(Key::kOwner))));
        const QVariantMap schedule =
            BusValues::plainMap(each.value(QString::fromLatin1(Key::kSchedule)));
        if (!schedule.isEmpty()) {
            throttle.schedule = ScheduleDictionary::readStanding(schedule);
        }
        state.throttles.append(throttle);
    }
    return state;
}
