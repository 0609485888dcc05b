// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusMessage>
#include <QString>

// The call to systemd's manager that starts the scope `unit` around process
// `pid`: StartTransientUnit, the scope gone once it is empty, even after a
// failure. For the user's manager, whose bus name and path are systemd's.
QDBusMessage transientScopeCall(const QString& unit, qint64 pid, const QString& description);
