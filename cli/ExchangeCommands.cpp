// SPDX-License-Identifier: MIT
#include "ExchangeCommands.h"

#include "ChaosWorkflowManifest.h"
#include "CliError.h"
#include "DestinationLookup.h"
#include "FolderOwnership.h"
#include "LinkSafeFile.h"
#include "NetworkChaosManifest.h"
#include "ProfileExchange.h"
#include "ProfileNameOrder.h"
#include "ProfileOptions.h"
#include "TerminalText.h"
#include "ThrottleParameters.h"
#include "TrafficControlScript.h"

#include <QFileInfo>

namespace {

constexpr QLatin1StringView outputOption{"output"};
constexpr QLatin1StringView formatOption{"format"};
constexpr QLatin1StringView noRenameOption{"no-rename"};

// The named profiles, built-in ones too: a user who names one wants it, and
// the same name on a colleague's machine may be deleted or, one day, differ.
// Without names, the user's own: the built-in ones travel with Veltrane.
QList<ThrottleProfile> chosenProfiles(const CommandContext& context) {
    if (context.arguments.isEmpty()) {
        return ProfileNameOrder::sortedByName(context.profiles.customProfiles());
    }
    QList<ThrottleProfile> chosen;
    for (const QString& argument : context.arguments) {
        try {
            chosen << ProfileOptions::resolve(context.profiles.allProfiles(), argument);
        } catch (const CliError& error) {
            throw CliError::usage(error.messages);
        }
    }
    return chosen;
}

// A file that is not one to import is bad input; the rest failed.
QString finished(const ProfileExchange::Outcome& outcome) {
    if (outcome.status == ProfileExchange::Outcome::Status::badFile) {
        throw CliError::usage({outcome.message});
    }
    if (!outcome.ok()) {
        throw CliError::failure(outcome.message);
    }
    return outcome.message;
}

QByteArray conditionsAs(const QString& format, const ThrottleProfile& profile) {
    if (!profile.application.isEmpty()) {
        // Neither tells a desktop application's traffic from the rest.
        throw CliError::failure(
            QStringLiteral("'%1' cannot be exported as %2: it applies only to the application "
                           "%3, which %2 cannot single out")
                .arg(TerminalText::name(profile.name),
                     format == u"tc" ? QStringLiteral("a tc script")
                                     : QStringLiteral("NetworkChaos"),
                     profile.application));
    }
    QString failure;
    const std::optional<ThrottleParameters> parameters = profile.conditions.toParameters(failure);
    if (!parameters) {
        throw CliError::failure(QStringLiteral("'%1' cannot be exported: %2")
                                    .arg(TerminalText::name(profile.name), failure));
    }
    std::optional<ThrottleSchedule> schedule = ThrottleSchedule{};
    if (!profile.schedule.empty()) {
        schedule = profile.schedule.toSchedule(failure);
    }
    if (!schedule) {
        throw CliError::failure(QStringLiteral("'%1' cannot be exported: %2")
                                    .arg(TerminalText::name(profile.name), failure));
    }
    if (format == u"tc") {
        // Resolved now: tc classifies by address, as the helper does once
        // the client has resolved the names.
        const ThrottleScope scope = profile.destinations.empty()
                                        ? ThrottleScope{}
                                        : DestinationLookup::resolved(profile.destinations);
        // A name as every other output shows it: a newline in it must not
        // end the comment and start a command.
        const QString title =
            QStringLiteral("Veltrane profile \"%1\": %2")
                .arg(TerminalText::name(profile.name), profile.shortDescription());
        return QByteArray::fromStdString(
            TrafficControlScript::write(*parameters, title.toStdString(), scope, *schedule));
    }
    std::optional<QString> refused = NetworkChaosManifest::refusal(profile.destinations);
    if (!refused && !schedule->empty()) {
        refused = ChaosWorkflowManifest::refusal(*schedule);
    }
    if (refused) {
        throw CliError::failure(QStringLiteral("'%1' cannot be exported as NetworkChaos: %2")
                                    .arg(TerminalText::name(profile.name), *refused));
    }
    if (!schedule->empty()) {
        return ChaosWorkflowManifest::write(*schedule, profile.name, profile.destinations).toUtf8();
    }
    const QString manifest =
        NetworkChaosManifest::write(*parameters, profile.name, profile.destinations);
    if (manifest.isEmpty()) {
        throw CliError::failure(QStringLiteral("'%1' sets no condition Chaos Mesh can shape")
                                    .arg(TerminalText::name(profile.name)));
    }
    return manifest.toUtf8();
}

void exportProfiles(CommandContext& context, const QCommandLineParser& parser) {
    const QString format = parser.isSet(QString(formatOption)) ? parser.value(QString(formatOption))
                                                               : QStringLiteral("json");
    if (format != u"json" && format != u"tc" && format != u"networkchaos") {
        throw CliError::usage({QStringLiteral("--format is json, tc or networkchaos, not '%1'")
                                   .arg(TerminalText::name(format))});
    }
    if (format != u"json" && context.arguments.size() != 1) {
        throw CliError::usage(
            {QStringLiteral("--format %1 takes exactly one PROFILE").arg(format)});
    }
    const QList<ThrottleProfile> profiles = chosenProfiles(context);
    const bool toFile = parser.isSet(QString(outputOption));
    const QString path = parser.value(QString(outputOption));
    // As root with another user's environment, not into that user's folders.
    if (const std::optional<QString> refused =
            toFile ? FolderOwnership().refusal(QFileInfo(path).absolutePath()) : std::nullopt) {
        throw CliError::failure(*refused);
    }
    if (format == u"json" && toFile) {
        context.out << TerminalText::line(finished(ProfileExchange::exportFile(profiles, path)))
                    << '\n';
    } else if (format == u"json") {
        // On a terminal, names must not steer it; a parser reads the same.
        context.out << TerminalText::json(ProfileExchange::document(profiles),
                                          QJsonDocument::Indented);
    } else if (const QByteArray bytes = conditionsAs(format, profiles.constFirst()); !toFile) {
        context.out << QString::fromUtf8(bytes);
    } else if (QString error; !LinkSafeFile::replace(path, bytes, &error)) {
        throw CliError::failure(error);
    }
}

void importProfiles(CommandContext& context, const QCommandLineParser& parser) {
    const ProfileExchange::Outcome outcome = ProfileExchange::importFile(
        context.profiles, context.arguments.constFirst(),
        parser.isSet(QString(noRenameOption)) ? ProfileManager::NameClash::refuse
                                              : ProfileManager::NameClash::rename);
    context.out << TerminalText::line(finished(outcome)) << '\n';
}

} // namespace

QList<Command> exchangeCommands() {
    return {
        {.name = QStringLiteral("export"),
         .arguments = QStringLiteral("[PROFILE...]"),
         .summary = QStringLiteral("Write profiles to share: the named ones, or every custom "
                                   "profile, as one JSON file that 'import' reads."),
         .details = QStringLiteral(
             "--format tc writes a sh script of tc commands that shapes an interface of any "
             "Linux host or container as Veltrane does ('sh FILE eth0' applies it, 'sh FILE eth0 "
             "remove' takes it away); --format networkchaos writes Chaos Mesh NetworkChaos "
             "resources for a Kubernetes cluster. Both take one PROFILE."),
         .options = {QCommandLineOption(QString(outputOption),
                                        QStringLiteral("Write to FILE, replacing it whole, "
                                                       "instead of standard output."),
                                        QStringLiteral("FILE")),
                     QCommandLineOption(QString(formatOption),
                                        QStringLiteral("json (the default), tc or networkchaos."),
                                        QStringLiteral("FORMAT"))},
         .run = exportProfiles,
         .rest = Command::Rest::many,
         .writesStores = false},
        {.name = QStringLiteral("import"),
         .arguments = QStringLiteral("FILE"),
         .summary = QStringLiteral("Add the profiles of an exported file as new custom "
                                   "profiles, all or none."),
         .details = QStringLiteral("A name that is taken gets ' Copy' added, as a duplicate's "
                                   "does."),
         .options = {QCommandLineOption(QString(noRenameOption),
                                        QStringLiteral("Refuse the file when a name is taken "
                                                       "instead of renaming."))},
         .run = importProfiles,
         .required = {QStringLiteral("FILE")}},
    };
}
