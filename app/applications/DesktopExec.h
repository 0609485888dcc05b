// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntry.h"

#include <QStringList>

// The program and arguments of a desktop entry's Exec line, for starting
// the application with no files: split by the line's own quoting (never by
// a shell), its field codes given their values (%i the icon, %c the name,
// %k the file, %% a percent sign) or left out (files and URLs, and the
// deprecated ones). Empty when the line names no program or its quoting is
// broken.
namespace DesktopExec {

QStringList arguments(const DesktopEntry& entry);

} // namespace DesktopExec
