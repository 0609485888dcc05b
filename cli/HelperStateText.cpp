// SPDX-License-Identifier: MIT
#include "HelperStateText.h"

#include "ParameterDictionary.h"
#include "TerminalText.h"
#include "ThrottleProfile.h"

namespace {

// As the panel summarises a profile.
QString limits(const ThrottleParameters& parameters) {
    return ThrottleProfile(QUuid(), QString(), NetworkConditions::fromParameters(parameters), false,
                           true)
        .shortDescription();
}

QJsonValue orNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

QString HelperStateText::owner(const ThrottleOwner& owner) {
    // Another client's words: shown, never obeyed by the terminal.
    QString text = TerminalText::name(owner.displayName()) +
                   QStringLiteral(" (uid %1, pid %2").arg(owner.uid).arg(owner.pid);
    if (owner.since.isValid()) {
        text += QStringLiteral(", since ") +
                owner.since.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return text + u')';
}

QString HelperStateText::line(const HelperState& state) {
    if (!state.available) {
        return QStringLiteral("helper unavailable");
    }
    QStringList parts{state.active ? QStringLiteral("on") : QStringLiteral("off")};
    if (state.active && state.configuration) {
        parts << limits(*state.configuration);
    }
    if (state.active && state.owner) {
        parts << owner(*state.owner);
        if (state.owner->held) {
            parts << QStringLiteral("held");
        }
    }
    if (!state.failure.isEmpty()) {
        parts << TerminalText::line(state.failure);
    }
    return parts.join(QStringLiteral(" — "));
}

QJsonValue HelperStateText::ownerRecord(const std::optional<ThrottleOwner>& owner) {
    if (!owner) {
        return QJsonValue();
    }
    return QJsonObject{
        {"description", owner->description},
        {"uid", static_cast<qint64>(owner->uid)},
        {"pid", static_cast<qint64>(owner->pid)},
        {"since", owner->since.isValid()
                      ? QJsonValue(owner->since.toUTC().toString(Qt::ISODateWithMs))
                      : QJsonValue()},
        {"held", owner->held},
    };
}

QJsonObject HelperStateText::record(const HelperState& state) {
    QJsonValue configuration;
    if (state.configuration) {
        // The helper's own keys: the five always, the others when set.
        configuration =
            QJsonObject::fromVariantMap(ParameterDictionary::toWire(*state.configuration));
    }
    return QJsonObject{
        {"available", state.available},
        {"active", state.active},
        {"serial", static_cast<qint64>(state.serial)},
        {"configuration", configuration},
        {"owner", ownerRecord(state.owner)},
        {"failure", orNull(state.failure)},
    };
}
