// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"

namespace {

constexpr QLatin1StringView idOption{"id"};

void runOff(CommandContext& context, const QCommandLineParser& parser) {
    std::optional<quint64> id;
    if (parser.isSet(QString(idOption))) {
        bool valid = false;
        id = parser.value(QString(idOption)).toULongLong(&valid);
        if (!valid || *id == 0) {
            throw CliError::usage(
                QStringList{QStringLiteral("--id takes the number of a throttle, as 'veltranectl "
                                           "status' shows it")});
        }
    }
    // Straight to the daemon, whoever switched throttling on: its disable
    // clears everything even when it does not know of any throttling.
    ThrottleControl control;
    if (const std::optional<HelperFailure> failure = waitForHelper(
            id ? control.connection.endThrottle(*id) : control.connection.disableThrottling())) {
        throw CliError::failure(failure->description);
    }
    if (id) {
        context.out << "Throttle " << *id << " off\n";
    } else {
        context.out << "Throttling off\n";
    }
}

} // namespace

Command offCommand() {
    return {.name = QStringLiteral("off"),
            .summary = QStringLiteral("Switch throttling off, whatever switched it on."),
            .details = QStringLiteral("Every throttle goes, or with --id only that one: its owner "
                                      "may end it, anyone else as the system's policy allows."),
            .options = {QCommandLineOption(
                QString(idOption),
                QStringLiteral("End only the throttle of this number, as status shows it."),
                QStringLiteral("N"))},
            .run = runOff,
            .writesStores = false};
}
