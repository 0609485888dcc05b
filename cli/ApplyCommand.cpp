// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "Destination.h"
#include "ProcessCgroups.h"
#include "ProfileSwitch.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"
#include "ThrottleScope.h"

#include <QFileInfo>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr QLatin1StringView onlyToOption{"only-to"};
constexpr QLatin1StringView appOption{"app"};
constexpr QLatin1StringView pidOption{"pid"};

// The application process `text` runs in, by its cgroup: one of the scopes
// of the caller's own systemd manager.
std::string applicationOfProcess(const QString& text) {
    bool isNumber = false;
    const qlonglong pid = text.toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || pid > 0x3fffffff) {
        throw CliError::usage(
            QStringList{QStringLiteral("--pid: a process id is a positive number, not '%1'")
                            .arg(TerminalText::line(text))});
    }
    const QString prefix = QStringLiteral("--pid %1: ").arg(pid);
    if (!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))) {
        throw CliError::failure(prefix + QStringLiteral("there is no process %1").arg(pid));
    }
    const QString own = ProcessCgroups::userManagerCgroup(::getuid());
    const std::optional<ProcessCgroup> found = ProcessCgroups().processCgroup(pid_t(pid), own);
    if (!found) {
        throw CliError::failure(prefix + QStringLiteral("this host has no cgroup v2 hierarchy, "
                                                        "which throttling one application needs"));
    }
    if (found->application) {
        return found->application->application.desktopId;
    }
    const bool anothers = found->cgroup.startsWith(QStringLiteral("user.slice/user-")) &&
                          !found->cgroup.startsWith(own.section(u'/', 0, 1) + u'/');
    throw CliError::failure(
        prefix + QStringLiteral("process %1 cannot be throttled as an application: %2 (its "
                                "cgroup is /%3)")
                     .arg(pid)
                     .arg(anothers ? QStringLiteral("it is another user's")
                                   : QStringLiteral("it is not in an application's scope of "
                                                    "your systemd manager"),
                          TerminalText::line(found->cgroup)));
}

// The desktop id --app names, or that of the application --pid runs in;
// empty for neither.
std::string applicationOf(const QCommandLineParser& parser) {
    const int given = int(parser.isSet(QString(onlyToOption))) +
                      int(parser.isSet(QString(appOption))) + int(parser.isSet(QString(pidOption)));
    if (given > 1) {
        throw CliError::usage(
            QStringList{QStringLiteral("--only-to, --app and --pid cannot be given together")});
    }
    if (parser.isSet(QString(pidOption))) {
        return applicationOfProcess(parser.value(QString(pidOption)));
    }
    const QString id = parser.value(QString(appOption));
    if (parser.isSet(QString(appOption)) && !ThrottleScope::isApplicationId(id.toStdString())) {
        throw CliError::usage(QStringList{
            QStringLiteral("--app: '%1' is no desktop id: letters, digits and \"._+-\", as the "
                           "application's .desktop file is named")
                .arg(TerminalText::line(id))});
    }
    return id.toStdString();
}

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
    std::string application = applicationOf(parser);
    std::vector<Destination> destinations = destinationsOf(parser);
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
    // A profile for one application keeps to it unless the command line
    // names another scope for this once.
    if (application.empty() && destinations.empty()) {
        application = profile.application.toStdString();
    }
    if (!application.empty()) {
        ThrottleControl control;
        ProfileSwitch::checkSwitchable(control, profile);
        const QString owner =
            ProfileSwitch::ownerDescription(QStringLiteral("veltranectl apply: "), profile.name);
        const quint64 id = ProfileSwitch::apply(control, context, profile, owner,
                                                ThrottleScope{.application = application}, false);
        context.out << "Throttling with " << TerminalText::name(profile.name)
                    << " only the application " << QString::fromStdString(application)
                    << ", in every scope it runs in now or starts in later (throttle " << id
                    << ", end it with 'veltranectl off --id " << id << "')\n";
        return;
    }
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
    return {
        .name = QStringLiteral("apply"),
        .arguments = QStringLiteral("PROFILE"),
        .summary = QStringLiteral("Switch throttling on with a profile and select it."),
        .details = QStringLiteral(
            "Throttling stays on until switched off: by 'veltranectl off', the application "
            "or another command. With --only-to it shapes only the traffic to and from those "
            "destinations (instead of the profile's own, if it has any), beside the throttles "
            "already on; host names are resolved to all their addresses now. With --app or "
            "--pid it shapes only one desktop application's traffic, in every scope your "
            "systemd manager runs it in, and waits for it while it is not running."),
        .options =
            {ProfileSwitch::yesOption(),
             QCommandLineOption(QString(onlyToOption),
                                QStringLiteral("Throttle only the traffic to HOST, an address or a "
                                               "network, with an optional port (:PORT alone for "
                                               "every address); repeat for more."),
                                QStringLiteral("HOST[:PORT]")),
             QCommandLineOption(QString(appOption),
                                QStringLiteral("Throttle only the application of this desktop id "
                                               "(see 'veltranectl apps')."),
                                QStringLiteral("ID")),
             QCommandLineOption(QString(pidOption),
                                QStringLiteral("Throttle only the application process N runs in."),
                                QStringLiteral("N"))},
        .run = runApply,
        .required = {QStringLiteral("PROFILE")}};
}
