// SPDX-License-Identifier: MIT
#include "ScheduleOptions.h"

#include "CliError.h"
#include "PacketDeliveryTrace.h"
#include "ProfileOptions.h"
#include "ProfileValidator.h"
#include "TerminalText.h"

#include <QRegularExpression>

#include <cstdint>
#include <optional>

namespace ScheduleOptions {

namespace {

constexpr QLatin1StringView phaseOption{"phase"};
constexpr QLatin1StringView repeatOption{"repeat"};
constexpr QLatin1StringView onceOption{"once"};
constexpr QLatin1StringView traceDownOption{"trace-down"};
constexpr QLatin1StringView traceUpOption{"trace-up"};
constexpr QLatin1StringView traceStepOption{"trace-step"};
constexpr QLatin1StringView noScheduleOption{"no-schedule"};

bool isSet(const QCommandLineParser& parser, QLatin1StringView option) {
    // optionNames, not isSet: --no-schedule is not an option of create.
    return parser.optionNames().contains(QString(option));
}

// Whole milliseconds from "40s", "300ms", "1.5s", "2min", "2m" or "1h".
// The unit is required, as a bandwidth's is: a bare "40" could be read in
// any of them. At most nine digits and three decimals, so that no text
// overflows; the bounds are the validator's.
std::optional<std::int64_t> durationMs(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([0-9]{1,9})(?:\\.([0-9]{1,3}))?\\s*(ms|s|min|m|h)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString unit = match.captured(3).toLower();
    const std::int64_t unitMs = unit == u"ms"  ? 1
                                : unit == u"s" ? 1000
                                : unit == u"h" ? 3'600'000
                                               : 60'000;
    // In thousandths of the unit, so that "1.5s" stays exact.
    const std::int64_t thousandths = match.captured(1).toLongLong() * 1000 +
                                     match.captured(2).leftJustified(3, u'0').toLongLong();
    if (thousandths * unitMs % 1000 != 0) {
        return std::nullopt;
    }
    return thousandths * unitMs / 1000;
}

QString durationRule() {
    return QStringLiteral("a duration is a number with its unit: ms, s, min (or m) or h, "
                          "e.g. 300ms, 1.5s, 2min, in whole milliseconds");
}

// The profile a phase copies. Its own schedule cannot be nested: a phase
// holds one set of conditions.
ProfilePhase copiedPhase(const QString& option, const QList<ThrottleProfile>& profiles,
                         const QString& argument, QStringList& refused) {
    const QList<ThrottleProfile> found = ProfileOptions::matches(profiles, argument);
    if (found.isEmpty()) {
        refused << option + QStringLiteral(": no profile with the id or name '%1'; a phase is "
                                           "'outage', a profile, or NAME:KEY=VALUE,…")
                                .arg(TerminalText::name(argument));
        return {};
    }
    // Several with that name: the usual list of candidates.
    const ThrottleProfile profile = ProfileOptions::resolve(found, argument);
    if (!profile.schedule.empty()) {
        refused << option + QStringLiteral(": '%1' has a schedule of its own; a phase takes the "
                                           "conditions of a profile without one")
                                .arg(TerminalText::name(profile.name));
        return {};
    }
    return {profile.name, 0, profile.conditions, {}};
}

// "Fast:down=8mbps,latency=40ms": the phase's name, then its conditions.
ProfilePhase ownPhase(const QString& option, std::size_t index, const QString& text,
                      QStringList& refused) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon < 0) {
        refused << option + QStringLiteral(": name the phase before its conditions, e.g. "
                                           "5s:Fast:down=8mbps,latency=40ms");
        return {};
    }
    ProfilePhase phase{text.left(colon), 0, std::nullopt, {}};
    ConditionInputs inputs;
    QStringList faults;
    for (const QString& pair : text.mid(colon + 1).split(u',')) {
        const qsizetype equals = pair.indexOf(u'=');
        const QString key = pair.left(equals).trimmed().toLower();
        if (equals < 0 ||
            !ProfileOptions::readCondition(key, pair.mid(equals + 1), inputs, faults)) {
            refused << option + QStringLiteral(": '%1' is not KEY=VALUE with one of the keys %2")
                                    .arg(TerminalText::name(pair),
                                         ProfileOptions::conditionKeys().join(u", "));
            return {};
        }
    }
    const QString label = ProfileSchedule::phaseLabel(index, phase.name) + QStringLiteral(": ");
    for (const QString& fault : faults) {
        refused << label + fault;
    }
    // A value that did not read has said so; its empty input would only
    // add "required".
    if (faults.isEmpty()) {
        for (const auto& [condition, message] :
             ProfileValidator::validateConditions(inputs).conditionErrors) {
            refused << label + message;
        }
    }
    phase.conditions = ProfileFormData::conditionsOf(inputs);
    return phase;
}

std::vector<ProfilePhase> phases(const QCommandLineParser& parser,
                                 const QList<ThrottleProfile>& profiles, QStringList& refused) {
    std::vector<ProfilePhase> list;
    for (const QString& value : parser.values(QString(phaseOption))) {
        const QString option = QStringLiteral("--phase '%1'").arg(TerminalText::name(value));
        const qsizetype colon = value.indexOf(u':');
        const std::optional<std::int64_t> duration =
            durationMs(colon < 0 ? value : value.left(colon));
        if (colon < 0 || !duration) {
            refused << option + QStringLiteral(": give DURATION:WHAT, where ") + durationRule();
            continue;
        }
        const QString what = value.mid(colon + 1);
        // A name with '=' after its last ':' is read as conditions: a
        // profile so named is still reached by its id.
        const bool ownConditions = what.mid(what.lastIndexOf(u':') + 1).contains(u'=');
        ProfilePhase phase;
        if (what.trimmed().compare(u"outage", Qt::CaseInsensitive) == 0) {
            phase.name = QStringLiteral("Outage");
        } else if (ownConditions) {
            phase = ownPhase(option, list.size(), what, refused);
        } else {
            phase = copiedPhase(option, profiles, what, refused);
        }
        phase.durationMs = *duration;
        list.push_back(std::move(phase));
    }
    return list;
}

CapacityTrace trace(const QCommandLineParser& parser, QStringList& refused) {
    std::int64_t stepMs = CapacityTrace::kDefaultStepMs;
    if (parser.isSet(QString(traceStepOption))) {
        const QString value = parser.value(QString(traceStepOption));
        const std::optional<std::int64_t> step = durationMs(value);
        if (!step) {
            refused << QStringLiteral("--trace-step '%1': ").arg(TerminalText::name(value)) +
                           durationRule();
            return {};
        }
        stepMs = *step;
    }
    const PacketDeliveryTrace::Imported imported = PacketDeliveryTrace::importFiles(
        parser.value(QString(traceDownOption)), parser.value(QString(traceUpOption)), stepMs);
    if (!imported.error.isEmpty()) {
        refused << TerminalText::line(imported.error);
    }
    return imported.trace;
}

// Which options were given together that cannot be: each pair once.
void refuseCombinations(const QCommandLineParser& parser, QStringList& refused) {
    const bool phases = parser.isSet(QString(phaseOption));
    const bool traced =
        parser.isSet(QString(traceDownOption)) || parser.isSet(QString(traceUpOption));
    const bool played = parser.isSet(QString(repeatOption)) || parser.isSet(QString(onceOption));
    if (phases && traced) {
        refused << QStringLiteral("--phase and --trace-down or --trace-up cannot be given "
                                  "together: a profile plays phases or a trace");
    }
    if (parser.isSet(QString(repeatOption)) && parser.isSet(QString(onceOption))) {
        refused << QStringLiteral("--repeat and --once cannot be given together");
    }
    if (parser.isSet(QString(traceStepOption)) && !traced) {
        refused << QStringLiteral("--trace-step goes with --trace-down or --trace-up");
    }
    if (isSet(parser, noScheduleOption) &&
        (phases || traced || played || parser.isSet(QString(traceStepOption)))) {
        refused << QStringLiteral("--no-schedule cannot be given with --phase, --repeat, --once "
                                  "or a trace option");
    }
}

} // namespace

QList<QCommandLineOption> options() {
    return {
        QCommandLineOption(
            QString(phaseOption),
            QStringLiteral("A phase of the profile's schedule, repeatable, in order: "
                           "DURATION:outage (nothing passes), DURATION:PROFILE (that profile's "
                           "conditions, under its name) or DURATION:NAME:KEY=VALUE,… (conditions "
                           "of its own, keyed and typed as the options above, e.g. "
                           "5s:Fast:down=8mbps,latency=40ms). DURATION is e.g. 300ms, 40s, 1.5s, "
                           "2min or 1h, from 100ms to 24h. It replaces the schedule."),
            QStringLiteral("DURATION:WHAT")),
        QCommandLineOption(QString(repeatOption),
                           QStringLiteral("Start the phases again after the last (the default).")),
        QCommandLineOption(QString(onceOption),
                           QStringLiteral("Play the phases once; the last one then holds.")),
        QCommandLineOption(QString(traceDownOption),
                           QStringLiteral("Replay a recorded link's download capacity from a "
                                          "packet-delivery trace file (one time in ms a line per "
                                          "1500-byte packet). It replaces the schedule."),
                           QStringLiteral("FILE")),
        QCommandLineOption(QString(traceUpOption),
                           QStringLiteral("The same for the upload capacity."),
                           QStringLiteral("FILE")),
        QCommandLineOption(QString(traceStepOption),
                           QStringLiteral("How long each rate of the trace holds, from 100ms to "
                                          "1s; 100ms when not given."),
                           QStringLiteral("DURATION")),
    };
}

QList<QCommandLineOption> removalOptions() {
    return {QCommandLineOption(QString(noScheduleOption),
                               QStringLiteral("Remove the schedule: the profile's own conditions "
                                              "hold again."))};
}

void apply(const QCommandLineParser& parser, const QList<ThrottleProfile>& profiles,
           ProfileFormData& form) {
    QStringList refused;
    refuseCombinations(parser, refused);
    if (!refused.isEmpty()) {
        throw CliError::usage(refused);
    }
    if (isSet(parser, noScheduleOption)) {
        form.schedule = {};
    } else if (parser.isSet(QString(phaseOption))) {
        const bool repeat = form.schedule.phases.empty() || form.schedule.repeat;
        form.schedule = {};
        form.schedule.phases = phases(parser, profiles, refused);
        form.schedule.repeat = repeat;
    } else if (parser.isSet(QString(traceDownOption)) || parser.isSet(QString(traceUpOption))) {
        form.schedule = {};
        form.schedule.trace = trace(parser, refused);
    }
    if (parser.isSet(QString(repeatOption)) || parser.isSet(QString(onceOption))) {
        if (form.schedule.phases.empty()) {
            refused << QStringLiteral("--repeat and --once go with phases: give --phase");
        }
        form.schedule.repeat = parser.isSet(QString(repeatOption));
    }
    if (!refused.isEmpty()) {
        throw CliError::usage(refused);
    }
}

} // namespace ScheduleOptions
