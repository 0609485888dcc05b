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

// What one resource of the profile shapes: its spec, unindented, for a
// NetworkChaos of its own or a workflow's step.
struct Resource {
    const char* action;
    QString spec;
};
std::vector<Resource> resources(const ThrottleParameters& parameters,
                                const std::vector<Destination>& destinations);

// Comment lines on what Chaos Mesh shapes otherwise than asked.
QString notes(const ThrottleParameters& parameters, const std::vector<Destination>& destinations);

// "veltrane-3g-netem": a DNS label from the profile's name and a suffix.
QString resourceName(const QString& profileName, const char* suffix);

// Each line of `text` moved right by `spaces`.
QString indented(const QString& text, int spaces);

// Meant for destinations refusal() passed.
QString write(const ThrottleParameters& parameters, const QString& profileName,
              const std::vector<Destination>& destinations = {});

} // namespace NetworkChaosManifest
