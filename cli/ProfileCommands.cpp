// SPDX-License-Identifier: MIT
#include "ProfileCommands.h"

#include "CliError.h"
#include "ProfileOptions.h"
#include "ProfileValidator.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr QLatin1StringView jsonOption{"json"};

ThrottleProfile argumentProfile(const CommandContext& context, const QCommandLineParser& parser) {
    return ProfileOptions::resolve(context.profiles, parser.positionalArguments().constFirst());
}

// The store keeps the change in memory when the file cannot be written; a
// command must not report that as success.
void requireWritten(const CommandContext& context, bool written) {
    if (!written) {
        throw CliError::failure(QStringLiteral("Could not write ") +
                                context.profiles.customProfilesURL().value_or(QString()));
    }
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
            records.append(profile.toJson());
        }
        context.out << QJsonDocument(records).toJson(QJsonDocument::Indented);
        return;
    }
    for (const ThrottleProfile& profile : profiles) {
        context.out << profile.name << u'\t' << profile.shortDescription() << u'\t'
                    << (profile.isBuiltIn() ? QLatin1StringView("built-in")
                                            : QLatin1StringView("custom"))
                    << u'\t'
                    << (profile.showInMenu ? QLatin1StringView("shown")
                                           : QLatin1StringView("hidden"))
                    << u'\n';
    }
}

void showProfile(CommandContext& context, const QCommandLineParser& parser) {
    context.out
        << QJsonDocument(argumentProfile(context, parser).toJson()).toJson(QJsonDocument::Indented);
}

void createProfile(CommandContext& context, const QCommandLineParser& parser) {
    ProfileFormData form;
    ProfileOptions::apply(parser, form);
    const ThrottleProfile profile = validated(context, form, std::nullopt, QUuid::createUuid());
    requireWritten(context, context.profiles.createProfile(profile));
    context.out << ThrottleProfile::idText(profile.id()) << u'\n';
}

void editProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile existing = argumentProfile(context, parser);
    if (existing.isBuiltIn()) {
        throw CliError::failure(QStringLiteral("Built-in profile — cannot be edited. Use "
                                               "'Duplicate' to create an editable copy."));
    }
    ProfileFormData form = ProfileFormData::from(existing);
    ProfileOptions::apply(parser, form);
    const ThrottleProfile profile = validated(context, form, existing.id(), existing.id());
    requireWritten(context, context.profiles.saveProfile(profile));
}

void duplicateProfile(CommandContext& context, const QCommandLineParser& parser) {
    bool written = false;
    const ThrottleProfile copy =
        context.profiles.duplicateProfile(argumentProfile(context, parser), &written);
    requireWritten(context, written);
    context.out << ThrottleProfile::idText(copy.id()) << u'\n';
}

void deleteProfile(CommandContext& context, const QCommandLineParser& parser) {
    requireWritten(context, context.profiles.deleteProfile(argumentProfile(context, parser)));
}

void setShown(CommandContext& context, const QCommandLineParser& parser, bool shown) {
    const ThrottleProfile profile = argumentProfile(context, parser);
    if (profile.showInMenu == shown) {
        return;
    }
    if (profile.isBuiltIn()) {
        context.profiles.toggleMenuVisibility(profile);
    } else {
        requireWritten(context, context.profiles.toggleCustomProfileVisibility(profile));
    }
}

constexpr QLatin1StringView profileArgument{"PROFILE"};

} // namespace

QList<Command> profileCommands() {
    const QList<QCommandLineOption> conditions = ProfileOptions::conditionOptions();
    return {
        {QStringLiteral("profiles"),
         QString(),
         QStringLiteral("List all profiles: name, limits, built-in or custom, shown or hidden."),
         {QCommandLineOption(QString(jsonOption),
                             QStringLiteral("Print the profiles as JSON records."))},
         listProfiles},
        {QStringLiteral("show"),
         profileArgument,
         QStringLiteral("Print a profile as JSON."),
         {},
         showProfile},
        {QStringLiteral("create"), QString(),
         QStringLiteral("Create a custom profile and print its id. --name is required."),
         conditions, createProfile},
        {QStringLiteral("edit"), profileArgument,
         QStringLiteral("Change a custom profile; conditions not given stay as they are."),
         conditions + ProfileOptions::removalOptions(), editProfile},
        {QStringLiteral("duplicate"),
         profileArgument,
         QStringLiteral("Make an editable copy of a profile and print its id."),
         {},
         duplicateProfile},
        {QStringLiteral("delete"),
         profileArgument,
         QStringLiteral("Delete a custom profile, or remove a built-in one for good."),
         {},
         deleteProfile},
        {QStringLiteral("hide"),
         profileArgument,
         QStringLiteral("Leave a profile out of the menu."),
         {},
         [](CommandContext& context, const QCommandLineParser& parser) {
             setShown(context, parser, false);
         }},
        {QStringLiteral("unhide"),
         profileArgument,
         QStringLiteral("List a profile in the menu again."),
         {},
         [](CommandContext& context, const QCommandLineParser& parser) {
             setShown(context, parser, true);
         }},
    };
}
