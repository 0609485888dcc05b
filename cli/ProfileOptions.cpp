// SPDX-License-Identifier: MIT
#include "ProfileOptions.h"

#include "CliError.h"
#include "NumberText.h"
#include "ProfileNameOrder.h"
#include "TerminalText.h"
#include "ThrottleScope.h"

namespace ProfileOptions {

namespace {

// The option of each condition, and how its value is typed.
struct ConditionOption {
    const char* option;
    const char* valueName;
    const char* description;
    Condition condition;
    // The unit that may follow the number; bandwidths must name theirs.
    const char* suffix;
};

const ConditionOption conditions[] = {
    {"down", "RATE", "Download limit with its unit, e.g. 780kbps or 10mbps.", Condition::download,
     nullptr},
    {"up", "RATE", "Upload limit with its unit, e.g. 330kbps or 2mbps.", Condition::upload,
     nullptr},
    {"latency", "MS", "Added latency in milliseconds, e.g. 100ms.", Condition::latency, "ms"},
    {"loss", "PERCENT", "Packet loss from 0 to 100 percent, e.g. 2.5%.", Condition::packetLoss,
     "%"},
    {"dns", "MS", "Added DNS delay in milliseconds, e.g. 3000ms.", Condition::dnsDelay, "ms"},
    {"jitter", "MS",
     "Delay variation either way around the latency, at most the latency, "
     "e.g. 20ms.",
     Condition::jitter, "ms"},
    {"loss-correlation", "PERCENT",
     "How much losses come in runs, from 0 (independent) to 99 percent, "
     "e.g. 25%.",
     Condition::lossCorrelation, "%"},
    {"reorder", "PERCENT", "Packets sent ahead of the others (needs a latency), e.g. 1%.",
     Condition::reorder, "%"},
    {"duplicate", "PERCENT", "Packets delivered twice, e.g. 0.5%.", Condition::duplicate, "%"},
};

constexpr QLatin1StringView nameOption{"name"};
constexpr QLatin1StringView onlyToOption{"only-to"};
constexpr QLatin1StringView appOption{"app"};
constexpr QLatin1StringView allTrafficOption{"all-traffic"};

QString removalName(const ConditionOption& condition) {
    return QStringLiteral("no-") + QString::fromLatin1(condition.option);
}

// The number without its unit, trimmed; what remains is kept as typed, so
// the validator's messages speak about the user's own text.
QString withoutSuffix(const QString& value, const QString& suffix) {
    const QString text = NumberText::trimmed(value);
    return text.endsWith(suffix, Qt::CaseInsensitive)
               ? NumberText::trimmed(QStringView(text).chopped(suffix.size()))
               : text;
}

// A bare number is refused: next to listings that print "780 Kbps", a
// default unit would turn a slip into a limit a thousand times off.
std::optional<BandwidthUnit> unitOf(const QString& value) {
    for (const BandwidthUnit unit : BandwidthUnits::allCases) {
        if (NumberText::trimmed(value).endsWith(BandwidthUnits::rawValue(unit),
                                                Qt::CaseInsensitive)) {
            return unit;
        }
    }
    return std::nullopt;
}

void read(const ConditionOption& condition, const QString& value, ConditionInputs& inputs,
          QStringList& refused) {
    ConditionInput& input = inputs[static_cast<std::size_t>(condition.condition)];
    if (condition.suffix != nullptr) {
        input.text = withoutSuffix(value, QString::fromLatin1(condition.suffix));
    } else if (const std::optional<BandwidthUnit> unit = unitOf(value)) {
        input.unit = *unit;
        input.text = withoutSuffix(value, BandwidthUnits::rawValue(*unit));
    } else {
        refused << QString::fromLatin1(NetworkConditions::field(condition.condition).title) +
                       QStringLiteral(": Bandwidth needs a unit, for example 780kbps or 10mbps");
    }
    input.isOn = true;
}

} // namespace

QStringList conditionKeys() {
    QStringList keys;
    for (const ConditionOption& condition : conditions) {
        keys << QString::fromLatin1(condition.option);
    }
    return keys;
}

bool readCondition(const QString& key, const QString& value, ConditionInputs& inputs,
                   QStringList& refused) {
    for (const ConditionOption& condition : conditions) {
        if (key == QLatin1StringView(condition.option)) {
            read(condition, value, inputs, refused);
            return true;
        }
    }
    return false;
}

QList<QCommandLineOption> conditionOptions() {
    QList<QCommandLineOption> options{QCommandLineOption(
        QString(nameOption), QStringLiteral("Profile name."), QStringLiteral("NAME"))};
    for (const ConditionOption& condition : conditions) {
        options.append(QCommandLineOption(QString::fromLatin1(condition.option),
                                          QString::fromLatin1(condition.description),
                                          QString::fromLatin1(condition.valueName)));
    }
    return options;
}

QList<QCommandLineOption> removalOptions() {
    QList<QCommandLineOption> options;
    for (const ConditionOption& condition : conditions) {
        options.append(QCommandLineOption(
            removalName(condition),
            QStringLiteral("Remove the %1 condition.").arg(QLatin1StringView(condition.option))));
    }
    return options;
}

QList<QCommandLineOption> scopeOptions() {
    return {QCommandLineOption(QString(onlyToOption),
                               QStringLiteral("Shape only traffic to this destination: a host, an "
                                              "address or a network, each with an optional port, "
                                              "or :PORT alone, e.g. api.example.com, "
                                              "10.0.0.0/8, 192.0.2.7:443, :5432. Repeat it for "
                                              "more; it replaces the profile's list."),
                               QStringLiteral("HOST[:PORT]")),
            QCommandLineOption(QString(appOption),
                               QStringLiteral("Shape only the traffic of the application of this "
                                              "desktop id (see 'veltranectl apps'); it replaces "
                                              "the profile's destinations."),
                               QStringLiteral("ID")),
            QCommandLineOption(QString(allTrafficOption),
                               QStringLiteral("Shape all traffic again: clear the profile's "
                                              "destinations or application."))};
}

void apply(const QCommandLineParser& parser, ProfileFormData& form) {
    if (parser.isSet(QString(nameOption))) {
        form.name = parser.value(QString(nameOption));
    }
    QStringList refused;
    for (const ConditionOption& condition : conditions) {
        const QString option = QString::fromLatin1(condition.option);
        const bool removed = parser.optionNames().contains(removalName(condition));
        if (parser.isSet(option) && removed) {
            refused << QStringLiteral("--%1 and --%2 cannot be given together")
                           .arg(option, removalName(condition));
        } else if (removed) {
            form[condition.condition].isOn = false;
        } else if (parser.isSet(option)) {
            read(condition, parser.value(option), form.conditions, refused);
        }
    }
    const bool onlyTo = parser.isSet(QString(onlyToOption));
    const bool app = parser.isSet(QString(appOption));
    if (int(onlyTo) + int(app) + int(parser.isSet(QString(allTrafficOption))) > 1) {
        refused << QStringLiteral("--only-to, --app and --all-traffic cannot be given together");
    } else if (app) {
        const QString id = parser.value(QString(appOption));
        if (!ThrottleScope::isApplicationId(id.toStdString())) {
            refused << QStringLiteral("--app: '%1' is no desktop id: letters, digits and "
                                      "\"._+-\", as the application's .desktop file is named")
                           .arg(TerminalText::name(id));
        }
        form.appliesTo = ProfileFormData::AppliesTo::application;
        form.application = id;
    } else if (onlyTo) {
        // The form keeps one destination a line: a line break in a value
        // would make two of one.
        for (const QString& value : parser.values(QString(onlyToOption))) {
            if (value.contains(u'\n') || value.contains(u'\r')) {
                refused << QStringLiteral("--only-to '%1': one destination each, without line "
                                          "breaks; repeat --only-to for more")
                               .arg(TerminalText::name(value));
            }
        }
        form.appliesTo = ProfileFormData::AppliesTo::destinations;
        form.destinationsText = parser.values(QString(onlyToOption)).join(u'\n');
    } else if (parser.isSet(QString(allTrafficOption))) {
        form.appliesTo = ProfileFormData::AppliesTo::allTraffic;
    }
    if (!refused.isEmpty()) {
        throw CliError::usage(refused);
    }
}

QList<ThrottleProfile> matches(const QList<ThrottleProfile>& profiles, const QString& argument) {
    if (const std::optional<QUuid> id = ThrottleProfile::idFromText(argument)) {
        for (const ThrottleProfile& profile : profiles) {
            if (profile.id() == *id) {
                return {profile};
            }
        }
    }
    const QString key = ProfileNameOrder::identityKey(argument);
    QList<ThrottleProfile> named;
    for (const ThrottleProfile& profile : profiles) {
        if (ProfileNameOrder::identityKey(profile.name) == key) {
            named << profile;
        }
    }
    return named;
}

ThrottleProfile resolve(const QList<ThrottleProfile>& profiles, const QString& argument,
                        const QString& what) {
    const QList<ThrottleProfile> found = matches(profiles, argument);
    if (found.size() == 1) {
        return found.constFirst();
    }
    if (found.isEmpty()) {
        throw CliError::failure(QStringLiteral("No %1 with the id or name '%2'")
                                    .arg(what, TerminalText::name(argument)));
    }
    QStringList messages{QStringLiteral("'%1' names %2 profiles; give one of these ids:")
                             .arg(TerminalText::name(argument))
                             .arg(found.size())};
    for (const ThrottleProfile& profile : found) {
        messages << QStringLiteral("  %1  %2 (%3)")
                        .arg(ThrottleProfile::idText(profile.id()),
                             TerminalText::name(profile.name),
                             profile.isBuiltIn() ? QStringLiteral("built-in")
                                                 : QStringLiteral("custom"));
    }
    throw CliError::usage(messages);
}

} // namespace ProfileOptions
