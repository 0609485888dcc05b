// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"

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

// description, uid, pid, since (ISO 8601, UTC), held; null without an owner.
QJsonValue ownerRecord(const std::optional<ThrottleOwner>& owner);
// available, active, serial, limits, owner and failure, null where absent.
QJsonObject record(const HelperState& state);

} // namespace HelperStateText
