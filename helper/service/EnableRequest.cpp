// SPDX-License-Identifier: MIT
#include "EnableRequest.h"

#include "HelperProtocol.h"
#include "ParameterDictionary.h"
#include "ScheduleDictionary.h"
#include "ScopeDictionary.h"
#include "ThrottlingManager.h"

#include <QDBusArgument>
#include <QVariantList>

#include <optional>
#include <string>

namespace {

// What QtDBus hands over of a container inside a variant stays marshalled:
// the schedule's lists and dictionaries, at every depth, are taken out here.
QVariant unmarshalled(const QVariant& value) {
    if (value.metaType() != QMetaType::fromType<QDBusArgument>()) {
        return value;
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    const QString signature = argument.currentSignature();
    const auto plainMap = [](QVariantMap map) {
        for (auto entry = map.begin(); entry != map.end(); ++entry) {
            *entry = unmarshalled(*entry);
        }
        return map;
    };
    if (signature == QLatin1String("a{sv}")) {
        return plainMap(qdbus_cast<QVariantMap>(argument));
    }
    if (signature == QLatin1String("aa{sv}")) {
        QVariantList list;
        for (const QVariantMap& map : qdbus_cast<QList<QVariantMap>>(argument)) {
            list.append(plainMap(map));
        }
        return list;
    }
    if (signature == QLatin1String("ax")) {
        return QVariant::fromValue(qdbus_cast<QList<qlonglong>>(argument));
    }
    return value;
}

std::optional<ThrottleSchedule> scheduleOf(const QVariant& value, QString& failure) {
    const QVariant dictionary = unmarshalled(value);
    if (dictionary.typeId() != QMetaType::QVariantMap) {
        failure = QStringLiteral("Parameter \"schedule\" must be of type a{sv} (dictionary)");
        return std::nullopt;
    }
    return ScheduleDictionary::fromWire(dictionary.toMap(), failure);
}

// The scope of EnableThrottlingWithParameters: a dictionary inside the
// parameters' dictionary, which arrives still marshalled.
std::optional<ThrottleScope> scopeOf(const QVariant& value, QString& failure) {
    QVariantMap dictionary;
    if (value.metaType() == QMetaType::fromType<QDBusArgument>() &&
        value.value<QDBusArgument>().currentSignature() == QLatin1String("a{sv}")) {
        dictionary = qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    } else if (value.typeId() == QMetaType::QVariantMap) {
        dictionary = value.toMap();
    } else {
        failure = QStringLiteral("Parameter \"scope\" must be of type a{sv} (dictionary)");
        return std::nullopt;
    }
    return ScopeDictionary::fromWire(dictionary, failure);
}

} // namespace

EnableRequest EnableRequest::fromNamedParameters(const QString& caller,
                                                 const QVariantMap& parameters,
                                                 const QString& description, bool hold,
                                                 EngineJobs::Clock::time_point arrived,
                                                 std::string& logLine) {
    QString unreadable = {};
    QVariantMap named = parameters;
    const QVariant scopeValue = named.take(QString::fromLatin1(HelperProtocol::kScopeKey));
    std::optional<ThrottleScope> scope = ThrottleScope{};
    if (scopeValue.isValid()) {
        scope = scopeOf(scopeValue, unreadable);
    }
    const QVariant scheduleValue = named.take(QString::fromLatin1(HelperProtocol::kScheduleKey));
    std::optional<ThrottleSchedule> schedule = ThrottleSchedule{};
    if (scope && scheduleValue.isValid()) {
        schedule = scheduleOf(scheduleValue, unreadable);
    }
    QString unreadableParameters = {};
    std::optional<ThrottleParameters> read =
        ParameterDictionary::fromWire(named, unreadableParameters);
    if (!scope || !schedule) {
        read.reset();
    } else {
        unreadable = unreadableParameters;
    }
    // What was read, not what was sent: a client's texts never reach the log.
    std::string line = "enableThrottlingWithParameters called with unreadable parameters";
    if (read) {
        line = "enableThrottlingWithParameters called:";
        for (const ThrottleParameters::Field& field : ThrottleParameters::fields()) {
            line += " " + std::string(field.logName) + "=" + field.text(*read);
        }
    }
    if (read && !scope->isMachine()) {
        line += " " + scope->logText();
    }
    if (read && !schedule->phases.empty()) {
        line += " with " + std::to_string(schedule->phases.size()) + " phases";
    } else if (read && !schedule->trace.empty()) {
        line += " with a trace";
    }
    logLine = line + (hold ? " held" : "");
    EnableRequest request{caller, read.value_or(ThrottleParameters{}), description, hold, arrived};
    request.unreadable = unreadable;
    request.scope = scope.value_or(ThrottleScope{});
    request.schedule = schedule.value_or(ThrottleSchedule{});
    return request;
}
