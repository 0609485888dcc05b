// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleProfile.h"
#include "UserDefaults.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// The one owner of all profiles: the built-in ones (less those the user
// deleted, with the user's menu choices applied), kept in the settings, and
// the user's own, kept in CustomProfiles.json. Every change is written
// through at once. Lives on the main thread.
class ProfileManager final : public QObject {
    Q_OBJECT

public:
    // dataDirectory is the folder that holds "Veltrane/CustomProfiles.json";
    // empty means there is nowhere to keep custom profiles. A readable
    // builtInProfilesFile replaces the compiled table of built-in profiles.
    explicit ProfileManager(UserDefaults& defaults, QString dataDirectory = defaultDataDirectory(),
                            QString builtInProfilesFile = QStringLiteral(":/BuiltInProfiles.json"),
                            QObject* parent = nullptr);

    // The user's generic data location.
    static QString defaultDataDirectory();

    // Both lists stay empty until the loads that the constructor queues on
    // the event loop have run, or until a caller runs them itself.
    const QList<ThrottleProfile>& builtInProfiles() const { return m_builtInProfiles; }
    const QList<ThrottleProfile>& customProfiles() const { return m_customProfiles; }

    // Built-in profiles in their order, then the custom ones by name.
    QList<ThrottleProfile> allProfiles() const;
    QList<ThrottleProfile> menuBuiltInProfiles() const;
    QList<ThrottleProfile> menuCustomProfiles() const;
    std::optional<ThrottleProfile> profile(const QUuid& withID) const;

    // The operations below return false only when a change could not be
    // written; the change then stays in memory. A refused change (a built-in
    // profile given where a custom one is meant, an id already taken) is
    // no change and returns true.
    bool createProfile(const ThrottleProfile& profile);
    bool saveProfile(const ThrottleProfile& profile);
    // A built-in profile is hidden for good, in the settings; a custom one
    // is removed from the file.
    bool deleteProfile(const ThrottleProfile& profile);
    ThrottleProfile duplicateProfile(const ThrottleProfile& profile, bool* written = nullptr);
    void toggleMenuVisibility(const ThrottleProfile& profile);
    bool toggleCustomProfileVisibility(const ThrottleProfile& profile);

    void loadBuiltInProfiles();
    void loadCustomProfiles();

    // Creates the folder when it is missing; no location without a data directory.
    std::optional<QString> customProfilesURL() const;

signals:
    void builtInProfilesChanged();
    void customProfilesChanged();

private:
    void removeDeletedBuiltInProfiles();
    void applyVisibilityOverrides();
    void saveVisibilityOverrides();
    void markBuiltInProfileDeleted(const ThrottleProfile& profile);
    bool persistCustomProfiles();
    qsizetype customIndex(const QUuid& id) const;

    UserDefaults& m_defaults;
    QString m_dataDirectory;
    QString m_builtInProfilesFile;
    QList<ThrottleProfile> m_builtInProfiles;
    QList<ThrottleProfile> m_customProfiles;
    // Set when the last load found a file it could not read or decode: the
    // next write keeps a copy of it first, so nothing the user made is lost.
    bool m_customFileUnreadable = false;
};
