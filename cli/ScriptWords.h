// SPDX-License-Identifier: MIT
#pragma once

#include "TrafficControlSteps.h"

#include <string>
#include <vector>

// How the exported tc script writes a step down: each argument a word of
// POSIX sh, the stand-ins for what only the target machine knows
// ("@interface@", "@ifb@", "@frame@", and a played step's "@limit@" and
// "@rate@") as the script's variables.
namespace ScriptWords {

std::string commandLine(const TrafficControlStep& step);

// Control characters as spaces: a comment line never ends early.
std::string oneLine(std::string text);

std::string joined(const std::vector<std::string>& texts);

} // namespace ScriptWords
