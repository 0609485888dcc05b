// SPDX-License-Identifier: MIT
#pragma once

#include "HelperProtocol.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <stdexcept>

// Owns the helper's name on a bus and answers as a helper gone wrong would:
// it refuses to switch off without saying why, and takes the ending of a
// throttle without ever answering it.
class SilentHelper final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.veltrane.HelperProtocol")

public:
    explicit SilentHelper(QDBusConnection bus)
        : m_bus(std::move(bus)) {
        if (!m_bus.registerObject(HelperProtocol::kObjectPath, this,
                                  QDBusConnection::ExportAllSlots) ||
            !m_bus.registerService(HelperProtocol::kServiceName)) {
            throw std::runtime_error("cannot own the helper's name");
        }
    }

public Q_SLOTS:
    bool DisableThrottling(QString& errorMessage) {
        errorMessage.clear();
        return false;
    }
    void EndThrottle(qulonglong) { setDelayedReply(true); }

private:
    QDBusConnection m_bus;
};
