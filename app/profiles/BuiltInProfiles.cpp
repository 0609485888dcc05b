// SPDX-License-Identifier: MIT
#include "BuiltInProfiles.h"

#include "ProfileNameOrder.h"
#include "ProfileRecords.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QFile>

#include <utility>

namespace {

// Only a list of texts is a list of deleted profiles; a bare text is not.
QStringList deletedIds(const QVariant& stored) {
    return stored.typeId() == QMetaType::QStringList ? stored.toStringList() : QStringList();
}

// One entry for every built-in profile in the list, as it is now.
QVariantMap visibilityOverrides(const QList<ThrottleProfile>& builtIns) {
    QVariantMap overrides;
    for (const ThrottleProfile& profile : builtIns) {
        overrides.insert(ThrottleProfile::idText(profile.id()), profile.showInMenu);
    }
    return overrides;
}

} // namespace

BuiltInProfiles::BuiltInProfiles(UserDefaults& defaults, QString tableFile)
    : m_defaults(defaults)
    , m_tableFile(std::move(tableFile)) {}

QList<ThrottleProfile> BuiltInProfiles::current() const {
    return listFor(m_defaults.value(SettingsKeys::deletedBuiltInProfiles),
                   m_defaults.value(SettingsKeys::profileVisibilityOverrides));
}

QList<ThrottleProfile> BuiltInProfiles::deleted() const {
    const QStringList deleted = deletedIds(m_defaults.value(SettingsKeys::deletedBuiltInProfiles));
    QList<ThrottleProfile> profiles = table();
    profiles.removeIf([&deleted](const ThrottleProfile& profile) {
        return !deleted.contains(ThrottleProfile::idText(profile.id()));
    });
    return profiles;
}

bool BuiltInProfiles::dependOnAny(const QStringList& settingsKeys) {
    return settingsKeys.contains(SettingsKeys::deletedBuiltInProfiles) ||
           settingsKeys.contains(SettingsKeys::profileVisibilityOverrides);
}

ProfileChange BuiltInProfiles::remove(const ThrottleProfile& profile) {
    return changeSettings([&profile](QVariantMap& settings, QList<ThrottleProfile>& builtIns) {
        QStringList deleted = deletedIds(settings.value(SettingsKeys::deletedBuiltInProfiles));
        if (const QString idText = ThrottleProfile::idText(profile.id());
            !deleted.contains(idText)) {
            deleted.append(idText);
        }
        settings.insert(SettingsKeys::deletedBuiltInProfiles, deleted);
        builtIns.removeIf([&profile](const ThrottleProfile& p) { return p.id() == profile.id(); });
        return ProfileChange::done();
    });
}

ProfileChange BuiltInProfiles::restore(const QList<QUuid>& ids) {
    return changeSettings([&](QVariantMap& settings, QList<ThrottleProfile>& builtIns) {
        QStringList deleted = deletedIds(settings.value(SettingsKeys::deletedBuiltInProfiles));
        for (const QUuid& id : ids) {
            deleted.removeAll(ThrottleProfile::idText(id));
        }
        settings.insert(SettingsKeys::deletedBuiltInProfiles, deleted);
        builtIns = listFor(deleted, settings.value(SettingsKeys::profileVisibilityOverrides));
        return ProfileChange::done();
    });
}

ProfileChange BuiltInProfiles::change(const Edit& edit) {
    return changeSettings(
        [&edit](QVariantMap&, QList<ThrottleProfile>& builtIns) { return edit(builtIns); });
}

ProfileChange BuiltInProfiles::changeSettings(const SettingsEdit& edit) {
    std::optional<ProfileChange> answer;
    const bool written = m_defaults.modify([&](QVariantMap& settings) {
        QList<ThrottleProfile> builtIns =
            listFor(settings.value(SettingsKeys::deletedBuiltInProfiles),
                    settings.value(SettingsKeys::profileVisibilityOverrides));
        const QVariantMap before = settings;
        answer = edit(settings, builtIns);
        if (!answer->ok()) {
            return false;
        }
        // Rewritten whole after every change: one entry per profile in the list.
        settings.insert(SettingsKeys::profileVisibilityOverrides, visibilityOverrides(builtIns));
        return settings != before;
    });
    if (!written && answer->ok()) {
        return ProfileChange::failed(QStringLiteral("Could not write the settings file ") +
                                         m_defaults.fileName(),
                                     std::move(answer->profile));
    }
    return *answer;
}

const QList<ThrottleProfile>& BuiltInProfiles::table() const {
    if (!m_table) {
        std::optional<QList<ThrottleProfile>> profiles;
        QFile resource(m_tableFile);
        if (!m_tableFile.isEmpty() && resource.open(QIODevice::ReadOnly)) {
            QString ignored;
            profiles = ProfileRecords::decode(resource.readAll(), &ignored);
        }
        m_table =
            ProfileNameOrder::sortedByName(profiles.value_or(ThrottleProfile::Preset::profiles()));
        // A built-in profile applies to all traffic, whatever its table says.
        for (ThrottleProfile& profile : *m_table) {
            profile.destinations.clear();
        }
    }
    return *m_table;
}

QList<ThrottleProfile> BuiltInProfiles::listFor(const QVariant& deleted,
                                                const QVariant& visibilityOverrides) const {
    const QStringList deletedIdTexts = deletedIds(deleted);
    QList<ThrottleProfile> profiles = table();
    profiles.removeIf([&](const ThrottleProfile& p) {
        return deletedIdTexts.contains(ThrottleProfile::idText(p.id()));
    });
    if (visibilityOverrides.typeId() != QMetaType::QVariantMap) {
        return profiles;
    }
    const QVariantMap overrides = visibilityOverrides.toMap();
    // One value of another type means the map was not written by us: ignore it whole.
    for (const QVariant& value : overrides) {
        if (value.typeId() != QMetaType::Bool) {
            return profiles;
        }
    }
    for (ThrottleProfile& profile : profiles) {
        const auto it = overrides.constFind(ThrottleProfile::idText(profile.id()));
        if (it != overrides.constEnd()) {
            profile.showInMenu = it->toBool();
        }
    }
    return profiles;
}
