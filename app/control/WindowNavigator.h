// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Opens the application's windows by identifier. Each identifier names one
// window: opening it again brings that window to the front and activates it.
class WindowNavigator {
public:
    static inline const QString onboarding = QStringLiteral("onboarding");
    static inline const QString profileEditor = QStringLiteral("profile-editor");
    static inline const QString profileList = QStringLiteral("profile-list");
    static inline const QString settings = QStringLiteral("settings");
    static inline const QString softwareUpdate = QStringLiteral("software-update");

    virtual ~WindowNavigator() = default;

    virtual void openWindow(const QString& identifier) = 0;
    virtual void closeWindow(const QString& identifier) = 0;
};
