// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where the profile and settings stores write their diagnostic lines. The
// application writes all its diagnostics to standard output; a command-line
// tool moves them to standard error, so that they never mix into its data.
namespace Diagnostics {

void write(const QString& line);
// For the rest of the process.
void sendToStandardError();

} // namespace Diagnostics
