// SPDX-License-Identifier: MIT
#include "ProfileSwitch.h"

#include "ApplyPreconditions.h"
#include "CliError.h"
#include "Confirmation.h"
#include "DestinationLookup.h"
#include "HelperProtocol.h"
#include "NameCharacters.h"
#include "ProfileOptions.h"
#include "TerminalText.h"
#include "ThrottleError.h"

namespace {

constexpr QLatin1StringView kYes{"yes"};

// As the application refuses them, before anything is sent.
ThrottleParameters switchable(const ThrottleControl& control, const ThrottleProfile& profile) {
    try {
        const ThrottleParameters parameters =
            ApplyPreconditions::parametersToApply(profile, control.registration);
        // A phase that cannot be sent is refused before anything is, too.
        ApplyPreconditions::scheduleToApply(profile);
        return parameters;
    } catch (const ThrottleError& error) {
        throw CliError::failure(error.description());
    }
}

ThrottleSchedule scheduleOf(const ThrottleProfile& profile) {
    try {
        return ApplyPreconditions::scheduleToApply(profile);
    } catch (const ThrottleError& error) {
        throw CliError::failure(error.description());
    }
}

void remember(CommandContext& context, const ThrottleProfile& profile) {
    // Throttling is on as asked; a selection that could not be remembered
    // does not change that.
    context.persistence.saveSelectedProfileID(profile.id());
    if (!context.defaults.sync()) {
        context.err << "Throttling is on, but the selection could not be remembered: could not "
                       "write the settings file "
                    << context.defaults.fileName() << '\n';
    }
}

} // namespace

namespace ProfileSwitch {

const QString kMayStillBeOn = QStringLiteral("Throttling may still be on: run 'veltranectl off'.");

QCommandLineOption yesOption() {
    return QCommandLineOption(
        QString(kYes), QStringLiteral("Apply a profile that blocks all traffic without asking."));
}

ThrottleProfile confirmedProfile(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile =
        ProfileOptions::resolve(context.profiles.allProfiles(), context.arguments.constFirst());
    // As the panel does: all traffic blocked is something the user confirms.
    if (profile.conditions.blocksAllTraffic()) {
        Confirmation{QStringLiteral("Enable 100% Packet Loss?\nThis will block ALL network "
                                    "traffic. Your internet connection will be completely "
                                    "unavailable until you disable throttling.\n\nAre you sure "
                                    "you want to continue?"),
                     QStringLiteral("'%1' blocks all network traffic: confirm with --yes")
                         .arg(TerminalText::name(profile.name)),
                     QStringLiteral("Not enabled.")}
            .ask(parser.isSet(QString(kYes)), context.err);
    }
    return profile;
}

// What the helper shows as the owner, cut to the length it keeps. Control
// characters would break the lines that show it, and it refuses them;
// invisible ones would make it read as something else.
QString ownerDescription(const QString& prefix, const QString& what) {
    QString text = prefix;
    for (const char32_t character : NameCharacters::codePoints(what)) {
        text += NameCharacters::isHidden(character) || character == u'\t' || character == u'\n'
                    ? QString(u' ')
                    : QString::fromUcs4(&character, 1);
    }
    const qsizetype limit = HelperProtocol::kMaxDescriptionLength;
    if (text.size() <= limit) {
        return text;
    }
    // Room for the ellipsis, and a character outside the BMP never cut in two.
    qsizetype end = limit - 1;
    if (text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    return text.left(end) + QStringLiteral("…");
}

quint64 applyOnlyTo(ThrottleControl& control, CommandContext& context,
                    const ThrottleProfile& profile, const QString& owner,
                    const std::vector<Destination>& destinations) {
    // Refused before any name is resolved.
    switchable(control, profile);
    const ThrottleScope scope = DestinationLookup::resolved(destinations);
    return apply(control, context, profile, owner, scope, false);
}

void checkSwitchable(const ThrottleControl& control, const ThrottleProfile& profile) {
    switchable(control, profile);
}

quint64 apply(ThrottleControl& control, CommandContext& context, const ThrottleProfile& profile,
              const QString& owner, const ThrottleScope& scope, bool hold) {
    const ThrottleParameters parameters = switchable(control, profile);
    const ThrottleSchedule schedule = scheduleOf(profile);
    quint64 id = 0;
    const auto start = [&]() -> QCoro::Task<> {
        id = co_await control.connection.startThrottle(parameters, scope, schedule, owner, hold);
    };
    if (const std::optional<HelperFailure> failure = waitForHelper(start())) {
        CliError error = CliError::failure(failure->description);
        // A held one needs no call that ends everything, nor one that ends
        // this connection's throttles: the helper ends them once this
        // process has gone, an enable it has yet to finish included, while
        // a helper that did not answer this call may not answer another.
        if (failure->unanswered && !hold) {
            error.messages << kMayStillBeOn;
        }
        throw error;
    }
    remember(context, profile);
    return id;
}

} // namespace ProfileSwitch
