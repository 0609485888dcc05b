// SPDX-License-Identifier: MIT
#include "TrayEntry.h"

#include "MenuBarLabel.h"
#include "TrayIcons.h"
#include "WindowNavigator.h"

#include <QCoreApplication>
#include <QCursor>

TrayEntry::TrayEntry(ThrottleService& throttleService, TrayActions actions, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_actions(std::move(actions)) {
    m_menu.addAction(QStringLiteral("Open Veltrane"), this, &TrayEntry::openPanel);
    m_toggle = m_menu.addAction(QString(), this, [this] { m_actions.toggleThrottling(); });
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Manage Profiles…"), this,
                     [this] { m_actions.openWindow(WindowNavigator::profileList); });
    m_menu.addAction(QStringLiteral("Settings…"), this,
                     [this] { m_actions.openWindow(WindowNavigator::settings); });
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Quit"), this, [this] { m_actions.quit(); });
    m_icon.setContextMenu(&m_menu);

    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayEntry::activated);
    connect(&throttleService, &ThrottleService::stateChanged, this, &TrayEntry::update);
    // The symbol's ink follows the desktop's appearance.
    QCoreApplication::instance()->installEventFilter(this);
    update(throttleService.state());
}

void TrayEntry::show() {
    m_icon.show();
}

void TrayEntry::openPanel() {
    m_actions.openPanel(anchor());
}

bool TrayEntry::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange) {
        update(m_throttleService.state());
    }
    return false;
}

void TrayEntry::update(const ThrottleState& state) {
    const MenuBarLabel label = MenuBarLabel::from(state);
    // The same icon set again costs the tray host a fetch of every size of
    // it, and this application a scaling of each: a schedule changes the
    // state every few seconds, the icon only when throttling goes on or off.
    const QString icon = label.iconName + (TrayIcons::desktopIsDark() ? QStringLiteral(":dark")
                                                                      : QStringLiteral(":light"));
    if (icon != m_shownIcon) {
        m_icon.setIcon(TrayIcons::icon(label.iconName, TrayIcons::desktopIsDark()));
        m_shownIcon = icon;
    }
    if (label.tooltip != m_icon.toolTip()) {
        m_icon.setToolTip(label.tooltip);
    }
    m_toggle->setText(state.isEnabled ? QStringLiteral("Turn Throttling Off")
                                      : QStringLiteral("Turn Throttling On"));
}

void TrayEntry::activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        m_actions.togglePanel(anchor());
    }
}

QRect TrayEntry::anchor() const {
    // Hosts that speak StatusNotifierItem report no geometry; the pointer is
    // on the icon when it is clicked.
    const QRect geometry = m_icon.geometry();
    return geometry.isValid() ? geometry : QRect(QCursor::pos(), QSize(1, 1));
}
