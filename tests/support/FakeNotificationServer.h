// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// A desktop notification server (org.freedesktop.Notifications) that keeps
// what it is asked to show, and a click on a notification as a test's own
// call.
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint id = 0;
        uint replaces = 0;
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    // Owns the server's name on `bus` until destroyed.
    explicit FakeNotificationServer(QDBusConnection bus);
    ~FakeNotificationServer() override;

    const std::vector<Shown>& shown() const { return m_shown; }
    // The last notification with this body, or null.
    const Shown* withBody(const QString& body) const;

    // The user clicks the notification: its default action.
    void click(uint id) { Q_EMIT ActionInvoked(id, QStringLiteral("default")); }

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);

Q_SIGNALS:
    void ActionInvoked(uint id, const QString& actionKey);

private:
    QDBusConnection m_bus;
    std::vector<Shown> m_shown;
    uint m_nextId = 1;
};
