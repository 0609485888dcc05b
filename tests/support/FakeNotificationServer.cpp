// SPDX-License-Identifier: MIT
#include "FakeNotificationServer.h"

#include <stdexcept>

namespace {

const QString kNotificationsName = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

FakeNotificationServer::FakeNotificationServer(QDBusConnection bus)
    : m_bus(std::move(bus)) {
    if (!m_bus.registerObject(kNotificationsPath, this,
                              QDBusConnection::ExportAllSlots |
                                  QDBusConnection::ExportAllSignals) ||
        !m_bus.registerService(kNotificationsName)) {
        throw std::runtime_error("cannot serve org.freedesktop.Notifications");
    }
}

FakeNotificationServer::~FakeNotificationServer() {
    m_bus.unregisterService(kNotificationsName);
    m_bus.unregisterObject(kNotificationsPath);
}

const FakeNotificationServer::Shown* FakeNotificationServer::withBody(const QString& body) const {
    for (auto shown = m_shown.rbegin(); shown != m_shown.rend(); ++shown) {
        if (shown->body == body) {
            return &*shown;
        }
    }
    return nullptr;
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString&,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& hints, int) {
    const uint id = replacesId != 0 ? replacesId : m_nextId++;
    m_shown.push_back({id, replacesId, appName, summary, body, actions, hints});
    return id;
}

QString FakeNotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                     QString& specVersion) {
    vendor = QStringLiteral("Veltrane tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake-notifications");
}
