// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <functional>

// Whether the desktop shows tray icons, now and as that changes: a
// StatusNotifierItem host registered with the session's watcher, or, at the
// start, whatever other tray Qt finds (an XEmbed tray). GNOME without its
// AppIndicator extension, and a bare window manager, have neither.
class TrayHostWatch final : public QObject {
    Q_OBJECT

public:
    // `otherTray` asks for a tray that is not a StatusNotifierItem host.
    TrayHostWatch(QDBusConnection sessionBus, std::function<bool()> otherTray,
                  QObject* parent = nullptr);

    bool isAvailable() const { return m_available; }

Q_SIGNALS:
    void availabilityChanged(bool available);

private Q_SLOTS:
    // The watcher's own signals (no arguments).
    void hostsChanged();

private:
    bool hostRegistered() const;

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    bool m_otherTray = false;
    bool m_available = false;
};
