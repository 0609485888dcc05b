// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleService.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

// What the tray's menu items do; the application supplies them.
struct TrayActions {
    // Open the panel beside the given place on the screen (the icon's area).
    std::function<void(const QRect& anchor)> openPanel;
    // Closes the panel when it is open.
    std::function<void(const QRect& anchor)> togglePanel;
    std::function<void()> toggleThrottling;
    std::function<void(const QString& identifier)> openWindow;
    std::function<void()> quit;
};

// The application's entry in the tray: the gauge symbol of the throttling
// state with its tooltip, the panel on a left click, and a menu of the
// panel's main actions, because some desktops only offer the menu.
class TrayEntry final : public QObject {
    Q_OBJECT

public:
    TrayEntry(ThrottleService& throttleService, TrayActions actions, QObject* parent = nullptr);

    void show();
    // Beside the icon, as "Open Veltrane" does.
    void openPanel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update(const ThrottleState& state);
    void activated(QSystemTrayIcon::ActivationReason reason);
    QRect anchor() const;

    ThrottleService& m_throttleService;
    TrayActions m_actions;
    QMenu m_menu;
    QAction* m_toggle = nullptr;
    QSystemTrayIcon m_icon;
    // The icon's name and ink last set.
    QString m_shownIcon;
};
