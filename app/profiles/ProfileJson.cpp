// SPDX-License-Identifier: MIT
#include "ProfileJson.h"

#include "JsonNumbers.h"
#include "ProfileDestinations.h"
#include "ScheduleJson.h"
#include "ThrottleScope.h"

#include <QJsonArray>

#include <string>
#include <utility>
#include <vector>

namespace ProfileJson {

namespace {

// Whole milliseconds are integers; percentages may have fractions.
void writeCondition(QJsonObject& object, const NetworkConditions::Field& field,
                    const NetworkConditions& conditions) {
    if (field.bandwidth != nullptr) {
        if (const auto& bandwidth = conditions.*field.bandwidth) {
            object.insert(field.storedKey, bandwidth->toJson());
        }
    } else if (field.milliseconds != nullptr) {
        if (const auto& value = conditions.*field.milliseconds) {
            // qint64, not the platform's long: QJsonValue takes that one.
            object.insert(field.storedKey, QJsonValue(static_cast<qint64>(*value)));
        }
    } else if (const auto& value = conditions.*field.percent) {
        object.insert(field.storedKey, QJsonValue(*value));
    }
}

// False when the value is present but not of the condition's kind.
bool readCondition(const QJsonValue& value, const NetworkConditions::Field& field,
                   NetworkConditions& conditions) {
    if (field.bandwidth != nullptr) {
        conditions.*field.bandwidth = Bandwidth::fromJson(value);
        return (conditions.*field.bandwidth).has_value();
    }
    if (field.milliseconds != nullptr) {
        conditions.*field.milliseconds = JsonNumbers::integer(value);
        return (conditions.*field.milliseconds).has_value();
    }
    if (!value.isDouble()) {
        return false;
    }
    conditions.*field.percent = value.toDouble();
    return true;
}

constexpr QLatin1StringView kId("id");
constexpr QLatin1StringView kName("name");
constexpr QLatin1StringView kIsBuiltIn("isBuiltIn");
constexpr QLatin1StringView kShowInMenu("showInMenu");
// Left out for all traffic, so that such a record reads and writes exactly
// as it did before profiles had destinations.
constexpr QLatin1StringView kDestinations("destinations");
// The desktop id of the application the profile is for; left out for none.
constexpr QLatin1StringView kApplication("application");

// Absent or null is none; otherwise a desktop id.
std::optional<QString> readApplication(const QJsonValue& value) {
    if (value.isUndefined() || value.isNull()) {
        return QString();
    }
    if (!value.isString() || !ThrottleScope::isApplicationId(value.toString().toStdString())) {
        return std::nullopt;
    }
    return value.toString();
}

// Absent or null is all traffic; otherwise every entry a destination's text.
std::optional<std::vector<Destination>> readDestinations(const QJsonValue& value) {
    if (value.isUndefined() || value.isNull()) {
        return std::vector<Destination>();
    }
    if (!value.isArray()) {
        return std::nullopt;
    }
    std::vector<Destination> destinations;
    for (const QJsonValue entry : value.toArray()) {
        std::string failure;
        const std::optional<Destination> destination =
            entry.isString() ? Destination::parse(entry.toString().toStdString(), failure)
                             : std::nullopt;
        if (!destination) {
            return std::nullopt;
        }
        destinations.push_back(*destination);
    }
    return destinations;
}

bool isKnown(const QString& key) {
    for (const QLatin1StringView known :
         {kId, kName, kIsBuiltIn, kShowInMenu, kDestinations, kApplication}) {
        if (key == known) {
            return true;
        }
    }
    return isConditionKey(key) || ScheduleJson::isKey(key);
}

} // namespace

void writeConditions(QJsonObject& object, const NetworkConditions& conditions) {
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        writeCondition(object, field, conditions);
    }
}

bool readConditions(const QJsonObject& object, NetworkConditions& conditions) {
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        const QJsonValue value = object.value(field.storedKey);
        if (!value.isUndefined() && !value.isNull() && !readCondition(value, field, conditions)) {
            return false;
        }
    }
    return true;
}

bool isConditionKey(const QString& key) {
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        if (key == field.storedKey) {
            return true;
        }
    }
    return false;
}

QJsonObject encode(const ThrottleProfile& profile) {
    // Known keys last: what this build knows of a key always wins.
    QJsonObject object = profile.otherKeys;
    object.insert(kId, ThrottleProfile::idText(profile.id()));
    object.insert(kName, profile.name);
    object.insert(kIsBuiltIn, profile.isBuiltIn());
    object.insert(kShowInMenu, profile.showInMenu);
    writeConditions(object, profile.conditions);
    ScheduleJson::write(object, profile.schedule);
    if (!profile.destinations.empty()) {
        object.insert(kDestinations,
                      QJsonArray::fromStringList(ProfileDestinations::texts(profile.destinations)));
    }
    if (!profile.application.isEmpty()) {
        object.insert(kApplication, profile.application);
    }
    return object;
}

std::optional<ThrottleProfile> decode(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const QJsonValue idValue = object.value(kId);
    const QJsonValue nameValue = object.value(kName);
    const QJsonValue builtInValue = object.value(kIsBuiltIn);
    const QJsonValue showValue = object.value(kShowInMenu);
    if (!idValue.isString() || !nameValue.isString() || !builtInValue.isBool() ||
        !showValue.isBool()) {
        return std::nullopt;
    }
    const std::optional<QUuid> id = ThrottleProfile::idFromText(idValue.toString());
    if (!id) {
        return std::nullopt;
    }
    // Conditions may be absent or null; anything else must decode.
    NetworkConditions conditions;
    if (!readConditions(object, conditions)) {
        return std::nullopt;
    }
    std::optional<std::vector<Destination>> destinations =
        readDestinations(object.value(kDestinations));
    std::optional<ProfileSchedule> schedule = ScheduleJson::read(object);
    const std::optional<QString> application = readApplication(object.value(kApplication));
    if (!destinations || !schedule || !application) {
        return std::nullopt;
    }
    ThrottleProfile profile(*id, nameValue.toString(), NetworkConditions{}, builtInValue.toBool(),
                            showValue.toBool());
    profile.destinations = std::move(*destinations);
    profile.schedule = std::move(*schedule);
    profile.application = *application;
    // Assigned past the constructor, which would clamp the loss.
    profile.conditions = conditions;
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (!isKnown(entry.key())) {
            profile.otherKeys.insert(entry.key(), entry.value());
        }
    }
    return profile;
}

} // namespace ProfileJson
