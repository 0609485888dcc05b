// SPDX-License-Identifier: MIT
#include "TransientScopeCall.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QList>

namespace {

// A property of a unit as StartTransientUnit takes it: (sv).
struct TransientUnitProperty {
    QString name;
    QDBusVariant value;
};
// A unit to start beside it, (sa(sv)): none is.
struct TransientAuxUnit {
    QString name;
    QList<TransientUnitProperty> properties;
};

} // namespace

Q_DECLARE_METATYPE(TransientUnitProperty)
Q_DECLARE_METATYPE(TransientAuxUnit)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const TransientUnitProperty& property) {
    argument.beginStructure();
    argument << property.name << property.value;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, TransientUnitProperty& property) {
    argument.beginStructure();
    argument >> property.name >> property.value;
    argument.endStructure();
    return argument;
}
QDBusArgument& operator<<(QDBusArgument& argument, const TransientAuxUnit& unit) {
    argument.beginStructure();
    argument << unit.name << unit.properties;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, TransientAuxUnit& unit) {
    argument.beginStructure();
    argument >> unit.name >> unit.properties;
    argument.endStructure();
    return argument;
}

} // namespace

QDBusMessage transientScopeCall(const QString& unit, qint64 pid, const QString& description) {
    qDBusRegisterMetaType<TransientUnitProperty>();
    qDBusRegisterMetaType<QList<TransientUnitProperty>>();
    qDBusRegisterMetaType<TransientAuxUnit>();
    qDBusRegisterMetaType<QList<TransientAuxUnit>>();
    const QList<TransientUnitProperty> properties = {
        {QStringLiteral("PIDs"), QDBusVariant(QVariant::fromValue(QList<quint32>{quint32(pid)}))},
        {QStringLiteral("Description"), QDBusVariant(description)},
        {QStringLiteral("CollectMode"), QDBusVariant(QStringLiteral("inactive-or-failed"))}};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("StartTransientUnit"));
    call << unit << QStringLiteral("fail") << QVariant::fromValue(properties)
         << QVariant::fromValue(QList<TransientAuxUnit>{});
    return call;
}
