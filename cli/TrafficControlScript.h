// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"

#include <string>

// A POSIX sh script that shapes one interface of any Linux host or container
// the way the helper's traffic-control engine shapes an uplink, from the same
// steps:
// `sh script INTERFACE [apply|remove]`, as root.
namespace TrafficControlScript {

// `title` names the conditions in the script's header, one line.
std::string write(const ThrottleParameters& parameters, const std::string& title);

} // namespace TrafficControlScript
