// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileFormData.h"
#include "ThrottleProfile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The options that give a profile a schedule: phases, or a recorded link's
// capacity from trace files.
namespace ScheduleOptions {

// --phase DURATION:WHAT (repeatable), --repeat, --once, --trace-down FILE,
// --trace-up FILE, --trace-step DURATION.
QList<QCommandLineOption> options();
// --no-schedule, which takes the schedule away when editing.
QList<QCommandLineOption> removalOptions();

// Any --phase replaces the schedule with those phases, in their order, and
// any trace file with the trace read from the files given (a direction left
// out keeps the profile's own rate); --repeat and --once then say how the
// phases play. Each phase is one of
//   DURATION:outage                      nothing passes
//   DURATION:PROFILE                     that profile's conditions, under its name
//   DURATION:NAME:KEY=VALUE[,KEY=VALUE]  conditions of its own, the keys being
//                                        the condition options' (down, latency…)
// A phase's own conditions are checked here, as the form's are, since the
// schedule keeps only what they parse to; everything else is the
// validator's. Throws CliError.
void apply(const QCommandLineParser& parser, const QList<ThrottleProfile>& profiles,
           ProfileFormData& form);

} // namespace ScheduleOptions
