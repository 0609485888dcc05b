// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A list of profiles as a JSON array of records (ProfileJson): the custom
// profiles file, and the file that replaces the built-in table.
namespace ProfileRecords {

// The profiles, or why they cannot be read: one record that fails to
// decode fails the whole list.
std::optional<QList<ThrottleProfile>> decode(const QByteArray& bytes, QString* error);

// Indented, every record in key order.
QByteArray encode(const QList<ThrottleProfile>& profiles);

} // namespace ProfileRecords
