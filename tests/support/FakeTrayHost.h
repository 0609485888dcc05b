// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

// A tray host on the session bus (org.kde.StatusNotifierWatcher with a host
// registered), and what a host does with the registered item: read its
// tooltip, click it, list and click its menu entries. Qt decides once, when
// its tray icon starts, whether a host exists: own the name first.
class FakeTrayHost final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    explicit FakeTrayHost(QDBusConnection bus);
    ~FakeTrayHost() override;

    bool isHostRegistered() const { return true; }
    // The bus name of the registered item, once there is one.
    std::optional<QString> item() const { return m_item; }

    // The tooltip's title: the lines of text it shows.
    QString toolTip();
    void activate(int x, int y);
    // The labels of the menu's entries, separators left out.
    QStringList menuLabels();
    // False when there is no such entry.
    bool clickMenu(const QString& label);
    // The tray goes away, as when its panel plugin is removed.
    void leave();

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);

private:
    QDBusConnection m_bus;
    std::optional<QString> m_item;
    // Id and label of each entry, as the menu was last read.
    QList<std::pair<int, QString>> m_menu;
};
