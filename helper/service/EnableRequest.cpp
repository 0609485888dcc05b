// SPDX-License-Identifier: MIT
#include "EnableRequest.h"

#include "HelperProtocol.h"
#include "ParameterDictionary.h"
#include "ScopeDictionary.h"
#include "ThrottlingManager.h"

#include <QDBusArgument>

#include <optional>

namespace {

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
    QString unreadableParameters = {};
    std::optional<ThrottleParameters> read =
        ParameterDictionary::fromWire(named, unreadableParameters);
    if (!scope) {
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
        line += " " + ThrottlingManager::describe(*scope);
    }
    logLine = line + (hold ? " held" : "");
    EnableRequest request{caller, read.value_or(ThrottleParameters{}), description, hold, arrived};
    request.unreadable = unreadable;
    request.scope = scope.value_or(ThrottleScope{});
    return request;
}
