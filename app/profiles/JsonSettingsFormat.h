// SPDX-License-Identifier: MIT
#pragma once

#include <QSettings>

// A QSettings file format that keeps the types of the values: the stock INI
// format reads a Boolean back as the text "true" and a one-element list as a
// plain text, which a new process cannot tell apart from what was written.
// The file is one JSON object, keys sorted, readable by people.
namespace JsonSettingsFormat {

// Registered once per process; the file extension is "json".
QSettings::Format format();

} // namespace JsonSettingsFormat
