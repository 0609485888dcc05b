// SPDX-License-Identifier: MIT
#include "ScheduleDictionary.h"

#include "CallerValues.h"
#include "ParameterDictionary.h"

#include <QList>
#include <QVariantList>

namespace ScheduleDictionary {

using CallerValues::busTypeOf;
using CallerValues::shown;

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QString typeFailure(const QString& where, const char* expected, const QVariant& value) {
    return QStringLiteral("%1 must be of type %2, not %3")
        .arg(where, QString::fromLatin1(expected), busTypeOf(value));
}

std::optional<QList<QVariantMap>> dictionaries(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QList<QVariantMap>>()) {
        return value.value<QList<QVariantMap>>();
    }
    if (value.typeId() != QMetaType::QVariantList) {
        return std::nullopt;
    }
    QList<QVariantMap> list;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QVariantMap) {
            return std::nullopt;
        }
        list.append(item.toMap());
    }
    return list;
}

std::optional<std::vector<std::int64_t>> integers(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QList<qlonglong>>()) {
        const auto list = value.value<QList<qlonglong>>();
        return std::vector<std::int64_t>(list.begin(), list.end());
    }
    if (value.typeId() != QMetaType::QVariantList) {
        return std::nullopt;
    }
    std::vector<std::int64_t> list;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::LongLong) {
            return std::nullopt;
        }
        list.push_back(item.toLongLong());
    }
    return list;
}

std::optional<SchedulePhase> phaseOf(int index, const QVariantMap& dictionary, QString& failure) {
    SchedulePhase phase;
    QString where = QStringLiteral("Phase %1").arg(index + 1);
    const QVariant name = dictionary.value(key(kName));
    if (name.isValid() && name.typeId() != QMetaType::QString) {
        failure = typeFailure(where + QStringLiteral(": \"name\""), "s (text)", name);
        return std::nullopt;
    }
    phase.name = name.toString().toStdString();
    if (!phase.name.empty()) {
        where += QStringLiteral(" (%1)").arg(shown(name.toString()));
    }
    QVariantMap configuration;
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const QString& field = entry.key();
        const QVariant& value = entry.value();
        const QString at = where + QStringLiteral(": \"%1\"").arg(shown(field));
        if (field == key(kName)) {
            continue;
        }
        if (field == key(kDurationMs) && value.typeId() == QMetaType::LongLong) {
            phase.durationMs = value.toLongLong();
        } else if (field == key(kOutage) && value.typeId() == QMetaType::Bool) {
            phase.outage = value.toBool();
        } else if (field == key(kConfiguration) && value.typeId() == QMetaType::QVariantMap) {
            configuration = value.toMap();
        } else if (field == key(kDurationMs) || field == key(kOutage) ||
                   field == key(kConfiguration)) {
            failure = typeFailure(at,
                                  field == key(kDurationMs) ? "x (64-bit integer)"
                                  : field == key(kOutage)   ? "b (boolean)"
                                                            : "a{sv} (dictionary)",
                                  value);
            return std::nullopt;
        } else {
            failure = where + QStringLiteral(": unknown key \"%1\"").arg(shown(field));
            return std::nullopt;
        }
    }
    if (!dictionary.contains(key(kDurationMs))) {
        failure = where + QStringLiteral(": \"durationMs\" is missing");
        return std::nullopt;
    }
    QString unreadable;
    const auto parameters = ParameterDictionary::fromWire(configuration, unreadable);
    if (!parameters) {
        failure = where + QStringLiteral(": ") + unreadable;
        return std::nullopt;
    }
    phase.parameters = *parameters;
    return phase;
}

bool readTrace(const QVariantMap& dictionary, CapacityTrace& trace, QString& failure) {
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const QString& field = entry.key();
        const QVariant& value = entry.value();
        const QString at = QStringLiteral("Trace key \"%1\"").arg(shown(field));
        if (field == key(kStepMs)) {
            if (value.typeId() != QMetaType::LongLong) {
                failure = typeFailure(at, "x (64-bit integer)", value);
                return false;
            }
            trace.stepMs = value.toLongLong();
        } else if (field == key(kDownload) || field == key(kUpload)) {
            const auto rates = integers(value);
            if (!rates) {
                failure = typeFailure(at, "ax (list of 64-bit integers)", value);
                return false;
            }
            (field == key(kDownload) ? trace.downloadBytesPerSecond : trace.uploadBytesPerSecond) =
                *rates;
        } else {
            failure = QStringLiteral("Unknown trace key \"%1\"").arg(shown(field));
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<ThrottleSchedule> fromWire(const QVariantMap& dictionary, QString& failure) {
    ThrottleSchedule schedule;
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const QString& field = entry.key();
        const QVariant& value = entry.value();
        const QString at = QStringLiteral("Schedule key \"%1\"").arg(shown(field));
        if (field == key(kPhases)) {
            const auto list = dictionaries(value);
            if (!list) {
                failure = typeFailure(at, "aa{sv} (list of dictionaries)", value);
                return std::nullopt;
            }
            // Read no further than the check lets through.
            if (std::size_t(list->size()) > ThrottleSchedule::kMaxPhases) {
                failure = QStringLiteral("A schedule has at most %1 phases, not %2")
                              .arg(ThrottleSchedule::kMaxPhases)
                              .arg(list->size());
                return std::nullopt;
            }
            for (int index = 0; index < list->size(); ++index) {
                const auto phase = phaseOf(index, list->at(index), failure);
                if (!phase) {
                    return std::nullopt;
                }
                schedule.phases.push_back(*phase);
            }
        } else if (field == key(kRepeat)) {
            if (value.typeId() != QMetaType::Bool) {
                failure = typeFailure(at, "b (boolean)", value);
                return std::nullopt;
            }
            schedule.repeat = value.toBool();
        } else if (field == key(kTrace)) {
            if (value.typeId() != QMetaType::QVariantMap) {
                failure = typeFailure(at, "a{sv} (dictionary)", value);
                return std::nullopt;
            }
            if (!readTrace(value.toMap(), schedule.trace, failure)) {
                return std::nullopt;
            }
        } else {
            failure = QStringLiteral("Unknown schedule key \"%1\"").arg(shown(field));
            return std::nullopt;
        }
    }
    if (const auto refusal = schedule.check()) {
        failure = QString::fromStdString(*refusal);
        return std::nullopt;
    }
    return schedule;
}

QVariantMap toWire(const ThrottleSchedule& schedule) {
    QVariantMap dictionary;
    if (!schedule.phases.empty()) {
        QList<QVariantMap> phases;
        for (const SchedulePhase& phase : schedule.phases) {
            QVariantMap entry{{key(kName), QString::fromStdString(phase.name)},
                              {key(kDurationMs), qlonglong(phase.durationMs)}};
            if (phase.outage) {
                entry.insert(key(kOutage), true);
            } else {
                entry.insert(key(kConfiguration), ParameterDictionary::toWire(phase.parameters));
            }
            phases.append(entry);
        }
        dictionary.insert(key(kPhases), QVariant::fromValue(phases));
        dictionary.insert(key(kRepeat), schedule.repeat);
    }
    if (!schedule.trace.empty()) {
        QVariantMap trace{{key(kStepMs), qlonglong(schedule.trace.stepMs)}};
        for (const auto& [name, rates] :
             {std::pair{kDownload, &schedule.trace.downloadBytesPerSecond},
              std::pair{kUpload, &schedule.trace.uploadBytesPerSecond}}) {
            if (!rates->empty()) {
                trace.insert(key(name),
                             QVariant::fromValue(QList<qlonglong>(rates->begin(), rates->end())));
            }
        }
        dictionary.insert(key(kTrace), trace);
    }
    return dictionary;
}

Standing readStanding(const QVariantMap& dictionary) {
    const auto integer = [&](const char* name) -> std::optional<std::int64_t> {
        const QVariant value = dictionary.value(key(name));
        if (!value.isValid() || !value.canConvert<qint64>()) {
            return std::nullopt;
        }
        return value.value<qint64>();
    };
    Standing standing;
    standing.startedAt = integer(kStartedAt).value_or(0);
    standing.phase = integer(kPhase).value_or(0);
    standing.phaseCount = integer(kPhaseCount).value_or(0);
    standing.phaseName = dictionary.value(key(kPhaseName)).toString();
    standing.nextPhaseAt = integer(kNextPhaseAt);
    standing.repeat = dictionary.value(key(kRepeat), true).toBool();
    standing.isTrace = dictionary.value(key(kIsTrace)).toBool();
    return standing;
}

QVariantMap standingToWire(const Standing& standing) {
    QVariantMap dictionary{{key(kStartedAt), qlonglong(standing.startedAt)},
                           {key(kPhase), qlonglong(standing.phase)},
                           {key(kPhaseCount), qlonglong(standing.phaseCount)},
                           {key(kPhaseName), standing.phaseName},
                           {key(kRepeat), standing.repeat},
                           {key(kIsTrace), standing.isTrace}};
    if (standing.nextPhaseAt) {
        dictionary.insert(key(kNextPhaseAt), qlonglong(*standing.nextPhaseAt));
    }
    return dictionary;
}

} // namespace ScheduleDictionary
