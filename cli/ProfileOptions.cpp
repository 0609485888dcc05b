// SPDX-License-Identifier: MIT
#include "ProfileOptions.h"

#include "CliError.h"

namespace ProfileOptions {

namespace {

// The form fields one condition option fills.
struct Condition {
    const char* option;
    const char* valueName;
    const char* description;
    QString ProfileFormData::*text;
    bool ProfileFormData::*enabled;
    BandwidthUnit ProfileFormData::*unit;
};

const Condition conditions[] = {
    {"down", "VALUE", "Download limit: a number with an optional kbps or mbps suffix (mbps).",
     &ProfileFormData::downloadSpeed, &ProfileFormData::hasDownloadLimit,
     &ProfileFormData::downloadUnit},
    {"up", "VALUE", "Upload limit: a number with an optional kbps or mbps suffix (mbps).",
     &ProfileFormData::uploadSpeed, &ProfileFormData::hasUploadLimit, &ProfileFormData::uploadUnit},
    {"latency", "MS", "Added latency in milliseconds.", &ProfileFormData::latency,
     &ProfileFormData::hasLatency, nullptr},
    {"loss", "PERCENT", "Packet loss in percent, 0 to 100.", &ProfileFormData::packetLoss,
     &ProfileFormData::hasPacketLoss, nullptr},
    {"dns", "MS", "Added DNS delay in milliseconds.", &ProfileFormData::dnsDelay,
     &ProfileFormData::hasDnsDelay, nullptr},
};

constexpr QLatin1StringView nameOption{"name"};

QString removalName(const Condition& condition) {
    return QStringLiteral("no-") + QString::fromLatin1(condition.option);
}

// "780kbps" is 780 Kbps; a bare number is in Mbps. What remains is kept as
// typed, so the validator's messages speak about the user's own text.
std::pair<QString, BandwidthUnit> splitUnit(const QString& value) {
    for (const BandwidthUnit unit : BandwidthUnits::allCases) {
        const QString suffix = BandwidthUnits::rawValue(unit);
        if (value.endsWith(suffix, Qt::CaseInsensitive)) {
            return {value.chopped(suffix.size()), unit};
        }
    }
    return {value, BandwidthUnit::mbps};
}

} // namespace

QList<QCommandLineOption> conditionOptions() {
    QList<QCommandLineOption> options{QCommandLineOption(
        QString(nameOption), QStringLiteral("Profile name."), QStringLiteral("NAME"))};
    for (const Condition& condition : conditions) {
        options.append(QCommandLineOption(QString::fromLatin1(condition.option),
                                          QString::fromLatin1(condition.description),
                                          QString::fromLatin1(condition.valueName)));
    }
    return options;
}

QList<QCommandLineOption> removalOptions() {
    QList<QCommandLineOption> options;
    for (const Condition& condition : conditions) {
        options.append(
            QCommandLineOption(removalName(condition), QStringLiteral("Remove the ") +
                                                           QString::fromLatin1(condition.option) +
                                                           QStringLiteral(" condition.")));
    }
    return options;
}

void apply(const QCommandLineParser& parser, ProfileFormData& form) {
    if (parser.isSet(QString(nameOption))) {
        form.name = parser.value(QString(nameOption));
    }
    QStringList conflicts;
    for (const Condition& condition : conditions) {
        const QString option = QString::fromLatin1(condition.option);
        const bool removed = parser.optionNames().contains(removalName(condition));
        if (parser.isSet(option) && removed) {
            conflicts << QStringLiteral("--") + option + QStringLiteral(" and --") +
                             removalName(condition) + QStringLiteral(" cannot be given together");
            continue;
        }
        if (removed) {
            form.*condition.enabled = false;
        } else if (parser.isSet(option)) {
            QString value = parser.value(option);
            if (condition.unit) {
                std::tie(value, form.*condition.unit) = splitUnit(value);
            }
            form.*condition.text = value;
            form.*condition.enabled = true;
        }
    }
    if (!conflicts.isEmpty()) {
        throw CliError::usage(conflicts);
    }
}

ThrottleProfile resolve(const ProfileManager& profiles, const QString& argument) {
    if (const std::optional<QUuid> id = ThrottleProfile::idFromText(argument)) {
        if (const std::optional<ThrottleProfile> profile = profiles.profile(*id)) {
            return *profile;
        }
    }
    const QString lowered = argument.toLower();
    for (const ThrottleProfile& profile : profiles.allProfiles()) {
        if (profile.name.toLower() == lowered) {
            return profile;
        }
    }
    throw CliError::failure(QStringLiteral("No profile with the id or name '") + argument +
                            QStringLiteral("'"));
}

} // namespace ProfileOptions
