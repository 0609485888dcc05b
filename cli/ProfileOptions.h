// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileFormData.h"
#include "ProfileManager.h"
#include "ThrottleProfile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The options that set a profile's conditions, and the lookup of the
// PROFILE argument.
namespace ProfileOptions {

// --name and one option per condition.
QList<QCommandLineOption> conditionOptions();
// --no-down and the like, which switch a condition off when editing.
QList<QCommandLineOption> removalOptions();

// A condition given is switched on with its text as typed; a removal
// switches it off.
void apply(const QCommandLineParser& parser, ProfileFormData& form);

// An id, or a name in any case: the first match in the order of allProfiles.
// Throws CliError when there is none.
ThrottleProfile resolve(const ProfileManager& profiles, const QString& argument);

} // namespace ProfileOptions
