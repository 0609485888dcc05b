// SPDX-License-Identifier: MIT
#include "ProfileSwitch.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"

namespace {

void runApply(CommandContext& context, const QCommandLineParser& parser) {
    const ThrottleProfile profile = ProfileSwitch::confirmedProfile(context, parser);
    ThrottleControl control;
    ProfileSwitch::applyAndRemember(
        control, context, profile,
        ProfileSwitch::ownerDescription(QStringLiteral("veltranectl apply: "), profile.name),
        false);
    context.out << "Throttling with " << TerminalText::name(profile.name) << '\n';
}

} // namespace

Command applyCommand() {
    return {.name = QStringLiteral("apply"),
            .arguments = QStringLiteral("PROFILE"),
            .summary = QStringLiteral("Switch throttling on with a profile and select it."),
            .details = QStringLiteral("Throttling stays on until switched off: by 'veltranectl "
                                      "off', the application or another command."),
            .options = {ProfileSwitch::yesOption()},
            .run = runApply,
            .required = {QStringLiteral("PROFILE")}};
}
