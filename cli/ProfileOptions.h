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
// --only-to HOST[:PORT], repeatable, and --all-traffic, which clears them.
QList<QCommandLineOption> scopeOptions();

// A condition given is switched on with its value as typed, read the way
// listings print it: "780kbps" or "780 Kbps", "100ms", "2.5%". A bandwidth
// must name its unit. A removal switches the condition off. --only-to
// replaces the destinations with those given, in their order; --all-traffic
// clears them. Throws CliError.
void apply(const QCommandLineParser& parser, ProfileFormData& form);

// The condition whose option is `key` ("down", "latency"), set from `value`
// as that option sets it; false for a key that names no condition. Faults
// go to `refused`, named by the condition.
bool readCondition(const QString& key, const QString& value, ConditionInputs& inputs,
                   QStringList& refused);
// Those keys, in the editor's order.
QStringList conditionKeys();

// The profiles an argument names: the one with that id, or those with that
// name in any case and in any Unicode composition.
QList<ThrottleProfile> matches(const QList<ThrottleProfile>& profiles, const QString& argument);

// The one profile an argument names. A name that more than one profile has
// is refused, with the candidates and their ids. Throws CliError when there
// is no single match, saying what kind of profile (`what`) was looked for.
ThrottleProfile resolve(const QList<ThrottleProfile>& profiles, const QString& argument,
                        const QString& what = QStringLiteral("profile"));

} // namespace ProfileOptions
