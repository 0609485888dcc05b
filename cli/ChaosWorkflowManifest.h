// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"
#include "ThrottleSchedule.h"

#include <QString>

#include <optional>
#include <vector>

// A profile's phases as Chaos Mesh sequences chaos: a Workflow whose serial
// steps are each phase's NetworkChaos (as NetworkChaosManifest writes them)
// for the phase's duration. Played once, the last phase holds until the
// Workflow is deleted; repeated, a Schedule starts the Workflow again every
// cycle.
namespace ChaosWorkflowManifest {

// Chaos Mesh starts and ends a chaos in about a second: shorter phases
// would not be timed as asked.
inline constexpr std::int64_t kMinPhaseMs = 1000;

// Why Chaos Mesh cannot play this schedule (a recorded link, a phase too
// short), naming the phase; nothing when it can.
std::optional<QString> refusal(const ThrottleSchedule& schedule);

// Meant for a schedule with phases that refusal() passed, and destinations
// NetworkChaosManifest::refusal() passed.
QString write(const ThrottleSchedule& schedule, const QString& profileName,
              const std::vector<Destination>& destinations = {});

} // namespace ChaosWorkflowManifest
