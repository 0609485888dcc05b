// SPDX-License-Identifier: MIT
#pragma once

#include "CommandContext.h"
#include "ThrottleControl.h"
#include "ThrottleProfile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <vector>

// Switching a profile on as the panel does, for the commands that do it.
namespace ProfileSwitch {

// Told whenever throttling may have outlived what a command meant.
extern const QString kMayStillBeOn;

// --yes: apply a profile that blocks all traffic without asking.
QCommandLineOption yesOption();

// The profile the first argument names; one that blocks all traffic only
// when the user confirms it. Throws CliError.
ThrottleProfile confirmedProfile(CommandContext& context, const QCommandLineParser& parser);

// What the helper shows as the owner: `prefix` and `what`, one line, cut to
// the length the helper keeps.
QString ownerDescription(const QString& prefix, const QString& what);

// Switches a throttle of `scope` on with this command as its owner, beside
// the throttles in force (an empty scope is the whole machine's, which
// replaces the whole machine's), held by this process when `hold` says so,
// and selects the profile. Returns the throttle's id (0 from a helper that
// gives none). When no answer came, the helper may have switched it on all
// the same: a held one ends with this process; of any other the user is
// told. Throws CliError.
quint64 apply(ThrottleControl& control, CommandContext& context, const ThrottleProfile& profile,
              const QString& owner, const ThrottleScope& scope, bool hold);

// As apply, for `destinations` only, unheld; host names are resolved
// first. Throws CliError naming what cannot be resolved.
quint64 applyOnlyTo(ThrottleControl& control, CommandContext& context,
                    const ThrottleProfile& profile, const QString& owner,
                    const std::vector<Destination>& destinations);

// Throws CliError when the profile cannot be switched on here (no helper,
// conditions it refuses), before anything is made for it.
void checkSwitchable(const ThrottleControl& control, const ThrottleProfile& profile);

} // namespace ProfileSwitch
