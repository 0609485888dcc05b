// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

#include <optional>

// A tray host on the session bus (org.kde.StatusNotifierWatcher with a host
// registered), and what a host does with a registered item: read its
// tooltip, click it, open its menu and click an entry. Qt decides once,
// when its tray icon starts, whether a host exists: own the name first.
class FakeTrayHost final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    explicit FakeTrayHost(QDBusConnection bus);
    ~FakeTrayHost() override;

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const { return m_items; }

    // The bus name of the first registered item, once there is one.
    std::optional<QString> item() const;

    // The item's tooltip title: the lines of text it shows.
    QString toolTip();
    void activate(int x, int y);
    // The labels of the item's menu, separators left out.
    QStringList menuLabels();
    // Clicks the menu entry with this label; false when there is none.
    bool clickMenu(const QString& label);

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    QStringList m_items;
};
