// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A file of the user's that exists but cannot be decoded is never written
// over as it is: it is first kept beside itself under a name that says so,
// and a diagnostic line tells where.
namespace UnreadableFile {

// "<path>.unreadable-<UTC timestamp>", with a counter when that name is taken.
QString keptName(const QString& path);

// Copies the file aside and leaves it in place; false when the copy failed.
bool keepCopy(const QString& path, const QString& description);

} // namespace UnreadableFile
