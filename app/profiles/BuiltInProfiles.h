// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileChange.h"
#include "ThrottleProfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

class UserDefaults;

// The profiles that ship with the application: the compiled table, or a
// file that replaces it, less those the user deleted, with the user's menu
// choices applied. Both choices live in the settings, which veltranectl
// shares: every change is one read-modify-write of them under their lock.
class BuiltInProfiles final {
public:
    // A readable tableFile replaces the compiled table.
    BuiltInProfiles(UserDefaults& defaults, QString tableFile);

    // In table order, as the settings make them now.
    QList<ThrottleProfile> current() const;
    // The ones the user deleted, in table order.
    QList<ThrottleProfile> deleted() const;
    // Whether settings changed under these keys change current().
    static bool dependOnAny(const QStringList& settingsKeys);

    // Each change answers with a ProfileChange, as ProfileManager's do; one
    // that cannot be written is kept in memory and fails.
    //
    // Hidden in the settings until it is restored.
    ProfileChange remove(const ThrottleProfile& profile);
    // Takes deleted profiles back into the list.
    ProfileChange restore(const QList<QUuid>& ids);
    // One change of the list as the settings make it now; the menu choices
    // are then written whole from the list.
    using Edit = std::function<ProfileChange(QList<ThrottleProfile>& builtIns)>;
    ProfileChange change(const Edit& edit);

private:
    // The same for the settings as the file holds them now and the list
    // they make.
    using SettingsEdit =
        std::function<ProfileChange(QVariantMap& settings, QList<ThrottleProfile>& builtIns)>;

    ProfileChange changeSettings(const SettingsEdit& edit);
    const QList<ThrottleProfile>& table() const;
    QList<ThrottleProfile> listFor(const QVariant& deleted,
                                   const QVariant& visibilityOverrides) const;

    UserDefaults& m_defaults;
    QString m_tableFile;
    mutable std::optional<QList<ThrottleProfile>> m_table;
};
