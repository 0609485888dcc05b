// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The system's description of an errno value, in the locale's encoding, for
// messages the user reads.
QString systemErrorText(int error);
