// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVariant>

// How the helper's refusals of a dictionary repeat what a caller sent.
namespace CallerValues {

// A caller's text as a message, and so the log, repeats it: one short line
// of printable characters.
QString shown(const QString& text);

// The bus signature of what arrived, as QtDBus hands the values of a
// dictionary over, told without linking QtDBus: basic types as themselves,
// its own types by name, containers as the argument they stay.
QString busTypeOf(const QVariant& value);

} // namespace CallerValues
