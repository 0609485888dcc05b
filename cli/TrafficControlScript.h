// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <string>

// A POSIX sh script that shapes one interface of any Linux host or container
// the way the helper's traffic-control engine shapes an uplink, from the same
// steps:
// `sh script INTERFACE [apply|remove]`, as root.
namespace TrafficControlScript {

// `title` names the conditions in the script's header, one line. A scope of
// destinations (addresses only: names resolved before) shapes only the
// traffic to and from them, as the helper shapes a scoped throttle; the
// header lists the names and the addresses they stood for. With a
// schedule, apply sets up where it starts and plays it on in the
// foreground until stopped; the profile's parameters are those a trace
// leaves in force.
std::string write(const ThrottleParameters& parameters, const std::string& title,
                  const ThrottleScope& scope = {}, const ThrottleSchedule& schedule = {});

} // namespace TrafficControlScript
