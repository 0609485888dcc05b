// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <QString>

// A profile as Chaos Mesh NetworkChaos resources for a Kubernetes cluster:
// one of action netem (the delay and what thins out, reorders or duplicates
// packets) and one of action bandwidth, as YAML documents separated by "---". The selector
// names every pod of the namespace "default"; the user narrows it. Empty
// when the profile sets nothing Chaos Mesh shapes.
namespace NetworkChaosManifest {

QString write(const ThrottleParameters& parameters, const QString& profileName);

} // namespace NetworkChaosManifest
