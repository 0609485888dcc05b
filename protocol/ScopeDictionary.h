// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleScope.h"

#include <QString>
#include <QVariantMap>

#include <optional>

// A throttle's scope as the "scope" dictionary of
// EnableThrottlingWithParameters and of each throttle in the state. The
// whole machine is the empty dictionary.
namespace ScopeDictionary {

// s: the cgroup v2 path of a command's processes.
inline constexpr const char* kCgroup = "cgroup";
// s: the desktop id of an application, whose scopes the helper follows.
inline constexpr const char* kApplication = "application";
// as, beside "application": the cgroup v2 paths of its scopes in force.
inline constexpr const char* kCgroups = "cgroups";
// as: addresses and networks with their ports, Destination::text().
inline constexpr const char* kDestinations = "destinations";
// as: the destinations as the user typed them, for display.
inline constexpr const char* kNames = "names";
// as, in the state only: the addresses the throttle shapes.
inline constexpr const char* kAddresses = "addresses";

// The helper's reading: an unknown key, a value of another bus type, a host
// name, a malformed entry or too many entries give nothing and say why,
// naming the entry, in `failure`.
std::optional<ThrottleScope> fromWire(const QVariantMap& dictionary, QString& failure);

// A client's reading of the state: what does not read is left out, so a
// newer helper's state still reads.
ThrottleScope readWire(const QVariantMap& dictionary);

// Only the keys that are set: the whole machine is the empty dictionary.
QVariantMap toWire(const ThrottleScope& scope);

} // namespace ScopeDictionary
