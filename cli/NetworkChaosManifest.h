// SPDX-License-Identifier: MIT
#pragma once

#include "Destination.h"
#include "ThrottleParameters.h"

#include <QString>

#include <optional>
#include <vector>

// A profile as Chaos Mesh NetworkChaos resources for a Kubernetes cluster:
// one of action netem (the delay and what thins out, reorders or duplicates
// packets) and one of action bandwidth, as YAML documents separated by "---". The selector
// names every pod of the namespace "default"; the user narrows it. A
// profile's destinations become the external targets its traffic goes to.
// Empty when the profile sets nothing Chaos Mesh shapes.
namespace NetworkChaosManifest {

// Why Chaos Mesh cannot select this traffic (a port on any address); nothing
// when it can.
std::optional<QString> refusal(const std::vector<Destination>& destinations);

// Meant for destinations refusal() passed.
QString write(const ThrottleParameters& parameters, const QString& profileName,
              const std::vector<Destination>& destinations = {});

} // namespace NetworkChaosManifest
