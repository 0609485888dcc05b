// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileSchedule.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// A profile's schedule as keys of its record:
//   "phases": [{"name": "LTE", "durationMs": 40000, <conditions as a profile
//              stores them>}, {"name": "Outage", "durationMs": 6000,
//              "outage": true}],
//   "repeat": true (only with phases),
//   "trace": {"stepMs": 100, "download": "12 12 0 7", "upload": "3 3 4"}.
// A trace's steps are whole 1500-byte packets per step in one text, not a
// JSON list: the store indents its file, which would put each of a day's
// 864000 steps on a line of its own. None of these keys is written for a
// profile without a schedule, so such a record reads and writes exactly as
// before schedules existed.
namespace ScheduleJson {

void write(QJsonObject& record, const ProfileSchedule& schedule);

// Strict about what it knows, as the rest of the record: a key of the
// wrong type, a phase that is not an object, an outage with conditions or a
// step that is not a whole number rejects the record. Bounds are the
// validator's. Keys of a phase or a trace this build does not know are kept.
std::optional<ProfileSchedule> read(const QJsonObject& record);

// Whether a record's key is one of the schedule's.
bool isKey(const QString& key);

} // namespace ScheduleJson
