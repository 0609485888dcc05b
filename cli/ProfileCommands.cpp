// SPDX-License-Identifier: MIT
#include "ProfileCommands.h"

#include "CliError.h"
#include "Confirmation.h"
#include "ProfileJson.h"
#include "ProfileListing.h"
#include "ProfileOptions.h"
#include "ProfileValidator.h"
#include "ScheduleOptions.h"
#include "TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <unistd.h>

namespace {

constexpr QLatin1StringView jsonOption{"json"};
constexpr QLatin1StringView showOption{"show"};
constexpr QLatin1StringView yesOption{"yes"};
constexpr QLatin1StringView allOption{"all"};

ThrottleProfile argumentProfile(const CommandContext& context) {
    return ProfileOptions::resolve(context.profiles.allProfiles(), context.arguments.constFirst());
}

// A change that was refused or only made in memory must not look like success.
ProfileChange requireDone(ProfileChange change) {
    if (change.outcome == ProfileChange::Outcome::failed) {
        throw CliError::failure(QStringLiteral("Could not save the change: ") + change.message);
    }
    if (change.outcome == ProfileChange::Outcome::refused) {
        throw CliError::failure(change.message);
    }
    return change;
}

ThrottleProfile validated(const CommandContext& context, const ProfileFormData& form,
                          const std::optional<QUuid>& excludingId, const QUuid& id) {
    QStringList names;
    for (const ThrottleProfile& profile : context.profiles.allProfiles()) {
        names << profile.name;
    }
    const ProfileValidationResult result =
        ProfileValidator::validateProfile(form, names, excludingId);
    if (!result.isValid) {
        throw CliError::usage(result.errors);
    }
    return form.to(id, false);
}

void listProfiles(CommandContext& context, const QCommandLineParser& parser) {
    const QList<ThrottleProfile> profiles = context.profiles.allProfiles();
    if (parser.isSet(QString(jsonOption))) {
        QJsonArray records;
        for (const ThrottleProfile& profile : profiles) {
            records.append(ProfileJson::encode(profile));
        }
        context.out << TerminalText::json(QJsonDocument(records), QJsonDocument::Indented);
    } else if (::isatty(STDOUT_FILENO)) {
        context.out << ProfileListing::table(profiles);
    } else {
        context.out << ProfileListing::separatedByTabs(profiles);
    }
}

void showProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = argumentProfile(context);
    if (parser.isSet(QString(jsonOption)) || !::isatty(STDOUT_FILENO)) {
        context.out << TerminalText::json(QJsonDocument(ProfileJson::encode(profile)),
                                          QJsonDocument::Indented);
    } else {
        context.out << ProfileListing::details(profile);
    }
}

void createProfile(CommandContext& context, const QCommandLineParser& parser) {
    ProfileFormData form;
    ProfileOptions::apply(parser, form);
    ScheduleOptions::apply(parser, context.profiles.allProfiles(), form);
    const ThrottleProfile profile = validated(context, form, std::nullopt, QUuid::createUuid());
    requireDone(context.profiles.createProfile(profile));
    context.out << ThrottleProfile::idText(profile.id()) << '\n';
}

void editProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile existing = argumentProfile(context);
    if (existing.isBuiltIn()) {
        throw CliError::failure(QStringLiteral("Built-in profile — cannot be edited. Use "
                                               "'Duplicate' to create an editable copy."));
    }
    ProfileFormData form = ProfileFormData::from(existing);
    ProfileOptions::apply(parser, form);
    ScheduleOptions::apply(parser, context.profiles.allProfiles(), form);
    ThrottleProfile profile = validated(context, form, existing.id(), existing.id());
    // The editor lists every profile it saves; a command that changes one
    // value leaves the menu as it was unless asked.
    profile.showInMenu = existing.showInMenu || parser.isSet(QString(showOption));
    requireDone(context.profiles.saveProfile(profile));
}

void duplicateProfile(CommandContext& context, const QCommandLineParser&) {
    const ProfileChange change =
        requireDone(context.profiles.duplicateProfile(argumentProfile(context)));
    context.out << ThrottleProfile::idText(change.profile->id()) << '\n';
}

void deleteProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = argumentProfile(context);
    if (profile.isBuiltIn()) {
        Confirmation{QStringLiteral("Delete built-in profile '%1'? Built-in profiles can be "
                                    "restored with 'veltranectl restore'.")
                         .arg(TerminalText::name(profile.name)),
                     QStringLiteral("Deleting the built-in profile '%1' needs --yes without a "
                                    "terminal")
                         .arg(TerminalText::name(profile.name)),
                     QStringLiteral("Not deleted.")}
            .ask(parser.isSet(QString(yesOption)), context.err);
    }
    requireDone(context.profiles.deleteProfile(profile));
}

void restoreProfiles(CommandContext& context, const QCommandLineParser& parser) {
    const bool all = parser.isSet(QString(allOption));
    if (all == !context.arguments.isEmpty()) {
        throw CliError::usage({all ? QStringLiteral("Give a PROFILE or --all, not both")
                                   : QStringLiteral("Give the PROFILE to restore, or --all")});
    }
    const QList<ThrottleProfile> deleted = context.profiles.deletedBuiltInProfiles();
    QList<QUuid> ids;
    for (const ThrottleProfile& profile : deleted) {
        ids << profile.id();
    }
    if (!all) {
        const QString argument = context.arguments.constFirst();
        // Restoring what is there already is what was asked.
        if (!ProfileOptions::matches(context.profiles.builtInProfiles(), argument).isEmpty()) {
            return;
        }
        ids = {
            ProfileOptions::resolve(deleted, argument, QStringLiteral("deleted built-in profile"))
                .id()};
    }
    if (!ids.isEmpty()) {
        requireDone(context.profiles.restoreBuiltInProfiles(ids));
    }
}

void setShown(CommandContext& context, bool shown) {
    requireDone(context.profiles.setShownInMenu(argumentProfile(context), shown));
}

const QStringList profileArgument{QStringLiteral("PROFILE")};

QCommandLineOption flag(QLatin1StringView name, const char* description) {
    return QCommandLineOption(QString(name), QString::fromUtf8(description));
}

} // namespace

QList<Command> profileCommands() {
    const QList<QCommandLineOption> conditions = ProfileOptions::conditionOptions() +
                                                 ProfileOptions::scopeOptions() +
                                                 ScheduleOptions::options();
    return {
        {.name = QStringLiteral("profiles"),
         .summary = QStringLiteral("List the profiles: name, limits, built-in or custom, shown "
                                   "in the menu or hidden."),
         .details = QStringLiteral("A table on a terminal, otherwise one line per profile, its "
                                   "fields separated by tabs; tabs, line breaks and backslashes "
                                   "in a name are written as \\t, \\n and \\\\, control and "
                                   "invisible characters as \\u escapes such as \\u202e."),
         .options = {flag(jsonOption, "Print the profiles as JSON records.")},
         .run = listProfiles,
         .writesStores = false},
        {.name = QStringLiteral("show"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Show a profile: its limits, destinations and schedule, each "
                                   "phase or the trace's rates."),
         .details = QStringLiteral("Text on a terminal, otherwise the profile's JSON record."),
         .options = {flag(jsonOption, "Print the profile's JSON record on a terminal too.")},
         .run = showProfile,
         .required = profileArgument,
         .writesStores = false},
        {.name = QStringLiteral("create"),
         .summary = QStringLiteral("Create a custom profile and print its id. --name is required."),
         .options = conditions,
         .run = createProfile},
        {.name = QStringLiteral("edit"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Change a custom profile; what is not given stays as it is."),
         .options = conditions + ProfileOptions::removalOptions() +
                    ScheduleOptions::removalOptions() +
                    QList{flag(showOption, "List the profile in the menu again if it is hidden.")},
         .run = editProfile,
         .required = profileArgument},
        {.name = QStringLiteral("duplicate"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Make an editable copy of a profile and print its id."),
         .run = duplicateProfile,
         .required = profileArgument},
        {.name = QStringLiteral("delete"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Delete a custom profile, or a built-in one until it is "
                                   "restored."),
         .details = QStringLiteral("Deleting a built-in profile asks first, on a terminal; "
                                   "without one it needs --yes."),
         .options = {flag(yesOption, "Delete a built-in profile without asking.")},
         .run = deleteProfile,
         .required = profileArgument},
        {.name = QStringLiteral("restore"),
         .arguments = QStringLiteral("PROFILE|--all"),
         .summary = QStringLiteral("Bring deleted built-in profiles back."),
         .options = {flag(allOption, "Restore every deleted built-in profile.")},
         .run = restoreProfiles,
         .rest = Command::Rest::optional},
        {.name = QStringLiteral("hide"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("Leave a profile out of the menu."),
         .run = [](CommandContext& context,
                   const QCommandLineParser&) { setShown(context, false); },
         .required = profileArgument},
        {.name = QStringLiteral("unhide"),
         .arguments = profileArgument.constFirst(),
         .summary = QStringLiteral("List a profile in the menu again."),
         .run = [](CommandContext& context, const QCommandLineParser&) { setShown(context, true); },
         .required = profileArgument},
    };
}
