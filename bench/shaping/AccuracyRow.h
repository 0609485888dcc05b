// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

// One row of the accuracy table: what was measured, what was asked, what
// came out, and whether that is within its target.
using AccuracyRow = std::function<void(const std::string& what, const std::string& requested,
                                       const std::string& measured, bool withinTarget)>;
