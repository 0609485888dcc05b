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

QStringList textsOf(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << QString::fromStdString(text);
    }
    return list;
}

QStringList addressesOf(const HelperThrottle& throttle) {
    if (!throttle.addresses.isEmpty()) {
        return throttle.addresses;
    }
    QStringList list;
    for (const Destination& destination : throttle.scope.destinations) {
        list << QString::fromStdString(destination.text());
    }
    return list;
}

QString clockTime(std::int64_t msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch)
        .toLocalTime()
        .toString(QStringLiteral("HH:mm:ss"));
}

QString isoTime(std::int64_t msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toUTC().toString(Qt::ISODateWithMs);
}

// Rounded up: "0 s left" would read as over while the phase still runs.
QString timeLeft(std::int64_t ms) {
    if (ms <= 0) {
        return QStringLiteral("next phase due");
    }
    const std::int64_t seconds = (ms + 999) / 1000;
    if (seconds < 60) {
        return QStringLiteral("%1 s left").arg(seconds);
    }
    if (seconds < 3600) {
        return seconds % 60 == 0
                   ? QStringLiteral("%1 min left").arg(seconds / 60)
                   : QStringLiteral("%1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
    }
    return QStringLiteral("%1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

// What a throttle has in force: its limits; for a schedule of phases where
// it stands instead; for a trace its limits and where it stands.
QString inForce(const ThrottleParameters& parameters,
                const std::optional<ScheduleDictionary::Standing>& standing,
                const std::optional<QDateTime>& now = std::nullopt) {
    if (!standing) {
        return limits(parameters);
    }
    // Phases replace the throttle's own parameters, which then say
    // nothing ("No limits"); a trace plays its rates over them.
    return standing->isTrace ? limits(parameters) + QStringLiteral(" — ") +
                                   HelperStateText::schedule(*standing, now)
                             : HelperStateText::schedule(*standing, now);
}

} // namespace

QString HelperStateText::schedule(const ScheduleDictionary::Standing& standing,
                                  const std::optional<QDateTime>& now) {
    if (standing.isTrace) {
        return QStringLiteral("trace, started ") + clockTime(standing.startedAt);
    }
    QStringList parts{
        QStringLiteral("phase %1 of %2").arg(standing.phase + 1).arg(standing.phaseCount)};
    // The helper's copy of a profile's words: shown, never obeyed.
    if (!standing.phaseName.isEmpty()) {
        parts << TerminalText::name(standing.phaseName);
    }
    if (!standing.nextPhaseAt) {
        parts << QStringLiteral("holds");
    } else if (now) {
        parts << timeLeft(*standing.nextPhaseAt - now->toMSecsSinceEpoch());
    } else {
        parts << QStringLiteral("next at ") + clockTime(*standing.nextPhaseAt);
    }
    return parts.join(QStringLiteral(" · "));
}

QJsonObject HelperStateText::scheduleRecord(const ScheduleDictionary::Standing& standing) {
    return QJsonObject{
        {"phase", static_cast<qint64>(standing.phase + 1)},
        {"phaseCount", static_cast<qint64>(standing.phaseCount)},
        {"phaseName", standing.phaseName},
        {"startedAt", isoTime(standing.startedAt)},
        {"nextPhaseAt",
         standing.nextPhaseAt ? QJsonValue(isoTime(*standing.nextPhaseAt)) : QJsonValue()},
        {"repeat", standing.repeat},
        {"trace", standing.isTrace},
    };
}

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
    const bool onlyTheMachine =
        state.throttles.size() == 1 && state.throttles.first().scope.isMachine();
    QStringList parts{state.active ? QStringLiteral("on") : QStringLiteral("off")};
    if (state.active && state.configuration) {
        parts << inForce(*state.configuration,
                         onlyTheMachine ? state.throttles.first().schedule : std::nullopt);
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
    // Beside several throttles, or one that is scoped, one line each under
    // the summary: the summary alone would read as the whole machine's.
    QString text = parts.join(QStringLiteral(" — "));
    if (state.active && !state.throttles.isEmpty() && !onlyTheMachine) {
        for (const HelperThrottle& throttle : state.throttles) {
            text += QStringLiteral("\n  ") + throttleLine(throttle);
        }
    }
    return text;
}

QString HelperStateText::scope(const HelperThrottle& throttle) {
    switch (throttle.scope.kind()) {
    case ThrottleScope::Kind::machine:
        return QStringLiteral("whole machine");
    case ThrottleScope::Kind::command:
        return QStringLiteral("only for cgroup ") +
               TerminalText::line(QString::fromStdString(throttle.scope.cgroups.front()));
    case ThrottleScope::Kind::application:
        return QStringLiteral("only for application ") +
               TerminalText::line(QString::fromStdString(throttle.scope.application)) +
               (throttle.scope.cgroups.empty()
                    ? QStringLiteral(" (waiting for it)")
                    : QStringLiteral(" (%1 %2)")
                          .arg(throttle.scope.cgroups.size())
                          .arg(throttle.scope.cgroups.size() == 1 ? QStringLiteral("scope")
                                                                  : QStringLiteral("scopes")));
    case ThrottleScope::Kind::destinations:
        break;
    }
    const QStringList addresses = addressesOf(throttle);
    const QStringList names = textsOf(throttle.scope.names);
    // The names as typed, and the addresses in force when they differ.
    if (names.isEmpty() || names == addresses) {
        return QStringLiteral("only to ") +
               TerminalText::line(addresses.join(QStringLiteral(", ")));
    }
    return QStringLiteral("only to ") + TerminalText::line(names.join(QStringLiteral(", "))) +
           QStringLiteral(" (") + TerminalText::line(addresses.join(QStringLiteral(", "))) + u')';
}

QString HelperStateText::throttleLine(const HelperThrottle& throttle,
                                      const std::optional<QDateTime>& now) {
    QStringList parts{QStringLiteral("#%1 ").arg(throttle.id) + scope(throttle),
                      inForce(throttle.configuration, throttle.schedule, now),
                      owner(throttle.owner)};
    if (throttle.owner.held) {
        parts << QStringLiteral("held");
    }
    return parts.join(QStringLiteral(" — "));
}

QJsonObject HelperStateText::throttleRecord(const HelperThrottle& throttle) {
    static const char* const kinds[] = {"machine", "destinations", "command", "application"};
    return QJsonObject{
        {"id", static_cast<qint64>(throttle.id)},
        {"scope",
         QJsonObject{
             {"kind", QString::fromLatin1(kinds[static_cast<int>(throttle.scope.kind())])},
             {"names", QJsonArray::fromStringList(textsOf(throttle.scope.names))},
             {"addresses", QJsonArray::fromStringList(addressesOf(throttle))},
             {"cgroup", orNull(throttle.scope.kind() == ThrottleScope::Kind::command
                                   ? QString::fromStdString(throttle.scope.cgroups.front())
                                   : QString())},
             {"application", orNull(QString::fromStdString(throttle.scope.application))},
             {"cgroups", QJsonArray::fromStringList(textsOf(throttle.scope.cgroups))},
         }},
        {"configuration",
         QJsonObject::fromVariantMap(ParameterDictionary::toWire(throttle.configuration))},
        {"owner", ownerRecord(throttle.owner)},
        {"schedule",
         throttle.schedule ? QJsonValue(scheduleRecord(*throttle.schedule)) : QJsonValue()},
    };
}

QJsonArray HelperStateText::throttleRecords(const HelperState& state) {
    QJsonArray records;
    for (const HelperThrottle& throttle : state.throttles) {
        records.append(throttleRecord(throttle));
    }
    return records;
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
        {"throttles", throttleRecords(state)},
        {"failure", orNull(state.failure)},
    };
}
