// SPDX-License-Identifier: MIT
#pragma once

#include "HelperProtocol.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <stdexcept>

// Owns the helper's name on a bus and answers as a helper gone wrong would:
// it refuses to enable without saying why, and takes status queries and
// disables without ever answering them.
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
    bool EnableThrottling(qlonglong, qlonglong, qlonglong, double, qlonglong,
                          QString& errorMessage) {
        errorMessage.clear();
        return false;
    }
    bool GetStatus(QString& message) { return hold(message); }
    bool DisableThrottling(QString& message) { return hold(message); }

private:
    bool hold(QString& message) {
        setDelayedReply(true);
        message.clear();
        return false;
    }

    QDBusConnection m_bus;
};
