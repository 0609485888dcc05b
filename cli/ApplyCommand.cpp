// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "Destination.h"
#include "ProfileSwitch.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleScope.h"

#include <string>
#include <vector>

namespace {

constexpr QLatin1StringView onlyToOption{"only-to"};

// The --only-to entries, each checked as it was typed; none for the whole
// machine.
std::vector<Destination> destinationsOf(const QCommandLineParser& parser) {
    std::vector<Destination> destinations;
    for (const QString& text : parser.values(QString(onlyToOption))) {
        std::string failure;
        const auto destination = Destination::parse(text.toStdString(), failure);
        if (!destination) {
            throw CliError::usage(QStringList{QStringLiteral("--only-to: ") +
                                              TerminalText::line(QString::fromStdString(failure))});
        }
        destinations.push_back(*destination);
    }
    if (destinations.size() > ThrottleScope::kMaxDestinations) {
        throw CliError::usage(QStringList{QStringLiteral("--only-to: at most %1 destinations")
                                              .arg(ThrottleScope::kMaxDestinations)});
    }
    return destinations;
}

void runApply(CommandContext& context, const QCommandLineParser& parser) {
    std::vector<Destination> destinations = destinationsOf(parser);
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
    // A profile that applies only to some destinations keeps to them unless
    // the command line names others for this once.
    if (destinations.empty()) {
        destinations = profile.destinations;
    }
    ThrottleControl control;
    const QString owner =
        ProfileSwitch::ownerDescription(QStringLiteral("veltranectl apply: "), profile.name);
    if (destinations.empty()) {
        ProfileSwitch::apply(control, context, profile, owner, {}, false);
        context.out << "Throttling with " << TerminalText::name(profile.name) << '\n';
        return;
    }
    const quint64 id = ProfileSwitch::applyOnlyTo(control, context, profile, owner, destinations);
    QStringList typed;
    for (const Destination& destination : destinations) {
        typed << QString::fromStdString(destination.text());
    }
    context.out << "Throttling with " << TerminalText::name(profile.name) << " only to "
                << typed.join(QStringLiteral(", "));
    if (id != 0) {
        context.out << " (throttle " << id << ", end it with 'veltranectl off --id " << id << "')";
    }
    context.out << '\n';
}

} // namespace

Command applyCommand() {
    return {.name = QStringLiteral("apply"),
            .arguments = QStringLiteral("PROFILE"),
            .summary = QStringLiteral("Switch throttling on with a profile and select it."),
            .details = QStringLiteral(
                "Throttling stays on until switched off: by 'veltranectl off', the application "
                "or another command. With --only-to it shapes only the traffic to and from those "
                "destinations (instead of the profile's own, if it has any), beside the throttles "
                "already on; host names are resolved to all their addresses now."),
            .options = {ProfileSwitch::yesOption(),
                        QCommandLineOption(
                            QString(onlyToOption),
                            QStringLiteral("Throttle only the traffic to HOST, an address or a "
                                           "network, with an optional port (:PORT alone for "
                                           "every address); repeat for more."),
                            QStringLiteral("HOST[:PORT]"))},
            .run = runApply,
            .required = {QStringLiteral("PROFILE")}};
}
