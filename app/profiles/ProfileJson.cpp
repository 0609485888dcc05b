// SPDX-License-Identifier: MIT
#include "ProfileJson.h"

#include "JsonNumbers.h"

#include <array>
#include <type_traits>

namespace ProfileJson {

namespace {

// One optional condition: its key, and how it is written and read.
struct ConditionKey {
    QLatin1StringView key;
    void (*write)(QJsonObject& object, QLatin1StringView key, const NetworkConditions& conditions);
    // False when the value is present but not of the condition's kind.
    bool (*read)(const QJsonValue& value, NetworkConditions& conditions);
};

template <auto member>
void writeBandwidth(QJsonObject& object, QLatin1StringView key,
                    const NetworkConditions& conditions) {
    if (const auto& bandwidth = conditions.*member) {
        object.insert(key, bandwidth->toJson());
    }
}

template <auto member>
void writeNumber(QJsonObject& object, QLatin1StringView key, const NetworkConditions& conditions) {
    if (const auto& number = conditions.*member) {
        // qint64, not the platform's long: QJsonValue takes that one.
        using Stored = std::conditional_t<std::is_integral_v<std::decay_t<decltype(*number)>>,
                                          qint64, double>;
        object.insert(key, QJsonValue(static_cast<Stored>(*number)));
    }
}

template <auto member>
bool readBandwidth(const QJsonValue& value, NetworkConditions& conditions) {
    conditions.*member = Bandwidth::fromJson(value);
    return (conditions.*member).has_value();
}

template <auto member>
bool readInteger(const QJsonValue& value, NetworkConditions& conditions) {
    conditions.*member = JsonNumbers::integer(value);
    return (conditions.*member).has_value();
}

template <auto member>
bool readDouble(const QJsonValue& value, NetworkConditions& conditions) {
    if (!value.isDouble()) {
        return false;
    }
    conditions.*member = value.toDouble();
    return true;
}

using C = NetworkConditions;

// Whole milliseconds are integers; percentages may have fractions.
const std::array<ConditionKey, 9> kConditionKeys{{
    {QLatin1StringView("downloadBandwidth"), writeBandwidth<&C::downloadBandwidth>,
     readBandwidth<&C::downloadBandwidth>},
    {QLatin1StringView("uploadBandwidth"), writeBandwidth<&C::uploadBandwidth>,
     readBandwidth<&C::uploadBandwidth>},
    {QLatin1StringView("latency"), writeNumber<&C::latency>, readInteger<&C::latency>},
    {QLatin1StringView("packetLossPercent"), writeNumber<&C::packetLossPercent>,
     readDouble<&C::packetLossPercent>},
    {QLatin1StringView("dnsDelay"), writeNumber<&C::dnsDelay>, readInteger<&C::dnsDelay>},
    {QLatin1StringView("jitter"), writeNumber<&C::jitter>, readInteger<&C::jitter>},
    {QLatin1StringView("packetLossCorrelationPercent"),
     writeNumber<&C::packetLossCorrelationPercent>, readDouble<&C::packetLossCorrelationPercent>},
    {QLatin1StringView("reorderPercent"), writeNumber<&C::reorderPercent>,
     readDouble<&C::reorderPercent>},
    {QLatin1StringView("duplicatePercent"), writeNumber<&C::duplicatePercent>,
     readDouble<&C::duplicatePercent>},
}};

constexpr QLatin1StringView kId("id");
constexpr QLatin1StringView kName("name");
constexpr QLatin1StringView kIsBuiltIn("isBuiltIn");
constexpr QLatin1StringView kShowInMenu("showInMenu");

bool isKnown(const QString& key) {
    for (const QLatin1StringView known : {kId, kName, kIsBuiltIn, kShowInMenu}) {
        if (key == known) {
            return true;
        }
    }
    for (const ConditionKey& condition : kConditionKeys) {
        if (key == condition.key) {
            return true;
        }
    }
    return false;
}

} // namespace

QJsonObject encode(const ThrottleProfile& profile) {
    // Known keys last: what this build knows of a key always wins.
    QJsonObject object = profile.otherKeys;
    object.insert(kId, ThrottleProfile::idText(profile.id()));
    object.insert(kName, profile.name);
    object.insert(kIsBuiltIn, profile.isBuiltIn());
    object.insert(kShowInMenu, profile.showInMenu);
    for (const ConditionKey& condition : kConditionKeys) {
        condition.write(object, condition.key, profile.conditions());
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
    for (const ConditionKey& condition : kConditionKeys) {
        const QJsonValue value = object.value(condition.key);
        if (!value.isUndefined() && !value.isNull() && !condition.read(value, conditions)) {
            return std::nullopt;
        }
    }
    ThrottleProfile profile(*id, nameValue.toString(), NetworkConditions{}, builtInValue.toBool(),
                            showValue.toBool());
    // Assigned past the constructor, which would clamp the loss.
    profile.conditions() = conditions;
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        if (!isKnown(entry.key())) {
            profile.otherKeys.insert(entry.key(), entry.value());
        }
    }
    return profile;
}

} // namespace ProfileJson
