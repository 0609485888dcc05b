// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// The helper's state as status and watch show it: text for people, JSON
// records for scripts.
namespace HelperStateText {

// "veltranectl run: make test (uid 1000, pid 4242, since 2024-05-01 14:02:11)"
QString owner(const ThrottleOwner& owner);
// "on — D: 780 Kbps, U: 330 Kbps, 100ms — Veltrane (uid 1000, pid 4242, since …) — held"
QString line(const HelperState& state);
// "whole machine", "only to api.example.com:443 (192.0.2.7:443)", "only for
// cgroup user.slice/run.scope"
QString scope(const HelperThrottle& throttle);
// Where a schedule stands: "phase 2 of 3 · Outage · next at 17:42:05", or
// with the time `now` "… · 4 s left" (a snapshot says how long, a line that
// stays on the screen says when); "phase 3 of 3 · 3G · holds" for the last
// phase of a schedule played once; "trace, started 17:40:00".
QString schedule(const ScheduleDictionary::Standing& standing,
                 const std::optional<QDateTime>& now = std::nullopt);
// "#3 only to :443 — D: 780 Kbps, 100ms — veltranectl apply: 3G (uid …) —
// held", then where its schedule stands (see schedule()).
QString throttleLine(const HelperThrottle& throttle,
                     const std::optional<QDateTime>& now = std::nullopt);

// description, uid, pid, since (ISO 8601, UTC), held; null without an owner.
QJsonValue ownerRecord(const std::optional<ThrottleOwner>& owner);
// phase (from 1), phaseCount, phaseName, startedAt and nextPhaseAt (ISO
// 8601, UTC; null when the last phase holds), repeat, trace.
QJsonObject scheduleRecord(const ScheduleDictionary::Standing& standing);
// id, scope (kind, names, addresses, cgroup), configuration, owner,
// schedule (null for none).
QJsonObject throttleRecord(const HelperThrottle& throttle);
// Every throttle's record.
QJsonArray throttleRecords(const HelperState& state);
// available, active, serial, limits, owner, throttles and failure, null
// where absent.
QJsonObject record(const HelperState& state);

} // namespace HelperStateText
