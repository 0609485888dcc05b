// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

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
// "#3 only to :443 — D: 780 Kbps, 100ms — veltranectl apply: 3G (uid …) — held"
QString throttleLine(const HelperThrottle& throttle);

// description, uid, pid, since (ISO 8601, UTC), held; null without an owner.
QJsonValue ownerRecord(const std::optional<ThrottleOwner>& owner);
// id, scope (kind, names, addresses, cgroup), configuration, owner.
QJsonObject throttleRecord(const HelperThrottle& throttle);
// Every throttle's record.
QJsonArray throttleRecords(const HelperState& state);
// available, active, serial, limits, owner, throttles and failure, null
// where absent.
QJsonObject record(const HelperState& state);

} // namespace HelperStateText
