// SPDX-License-Identifier: MIT
#pragma once

#include "BuiltInProfiles.h"
#include "CustomProfilesFile.h"
#include "ProfileChange.h"
#include "ProfileImport.h"
#include "ProfileReloads.h"
#include "ThrottleProfile.h"
#include "UserDefaults.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// The one owner of all profiles: the built-in ones (less those the user
// deleted, with the user's menu choices applied), kept in the settings, and
// the user's own, kept in CustomProfiles.json. Both files are shared with
// veltranectl. Every change is one read-modify-write of the file as it is
// now, under the file's lock, so no change of another process is undone;
// changes made elsewhere are read again within about a second once the
// event loop runs, and published through the change signals. Lives on the
// main thread.
//
// What each change means is decided here; BuiltInProfiles and
// CustomProfilesFile keep the two files, ProfileReloads follows them, and
// ProfileImport names what an import adds.
class ProfileManager final : public QObject {
    Q_OBJECT

public:
    // dataDirectory is the folder that holds "Veltrane/CustomProfiles.json";
    // empty means there is nowhere to keep custom profiles. A readable
    // builtInProfilesFile replaces the compiled table of built-in profiles.
    explicit ProfileManager(UserDefaults& defaults, QString dataDirectory = defaultDataDirectory(),
                            QString builtInProfilesFile = QStringLiteral(":/BuiltInProfiles.json"),
                            QObject* parent = nullptr);
    ~ProfileManager() override;

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
    // The built-in profiles the user deleted, in table order.
    QList<ThrottleProfile> deletedBuiltInProfiles() const;

    // Each change answers with a ProfileChange: done, refused (nothing
    // written) or failed (kept in memory only).
    ProfileChange createProfile(const ThrottleProfile& profile);
    // Replaces the custom profile of the same id where it stands, or adds it.
    ProfileChange saveProfile(const ThrottleProfile& profile);
    // A built-in profile is hidden until it is restored, in the settings; a
    // custom one is removed from the file.
    ProfileChange deleteProfile(const ThrottleProfile& profile);
    // The copy is the change's profile.
    ProfileChange duplicateProfile(const ThrottleProfile& profile);
    // Adds `profiles` as new custom profiles with new ids, all or none. A
    // name another profile has (or one added before it) is given the
    // duplicate's " Copy" suffix until it is free, or, with
    // NameClash::refuse, refuses the whole import naming each clash.
    // `added` gets the profiles as stored.
    using NameClash = ProfileImport::NameClash;
    ProfileChange importProfiles(const QList<ThrottleProfile>& profiles, NameClash clash,
                                 QList<ThrottleProfile>* added = nullptr);
    // Built-in profiles only.
    ProfileChange toggleMenuVisibility(const ThrottleProfile& profile);
    // Custom profiles only.
    ProfileChange toggleCustomProfileVisibility(const ThrottleProfile& profile);
    // Either kind. Unlike a toggle, asking twice, or from two processes at
    // once, leaves the profile as asked.
    ProfileChange setShownInMenu(const ThrottleProfile& profile, bool shown);
    // Takes deleted built-in profiles back into the list.
    ProfileChange restoreBuiltInProfiles(const QList<QUuid>& ids);

    void loadBuiltInProfiles();
    void loadCustomProfiles();

    // Creates the folder when it is missing; no location without a data directory.
    std::optional<QString> customProfilesURL() const;

signals:
    void builtInProfilesChanged();
    void customProfilesChanged();

private:
    ProfileChange changeCustomProfiles(const QString& subject,
                                       const CustomProfilesFile::Edit& edit);
    // Publishes the built-in profiles as the settings make them after a
    // change, and answers with the change.
    ProfileChange publishedAfter(ProfileChange builtInChange);
    ProfileChange changeVisibility(const ThrottleProfile& profile, std::optional<bool> shown);
    void publishBuiltInProfiles(QList<ThrottleProfile> profiles, bool always);
    void publishCustomProfiles(QList<ThrottleProfile> profiles, bool always);

    QString m_dataDirectory;
    BuiltInProfiles m_builtIns;
    CustomProfilesFile m_customFile;
    // After the files it follows, so that it goes first.
    ProfileReloads m_reloads;
    QList<ThrottleProfile> m_builtInProfiles;
    QList<ThrottleProfile> m_customProfiles;
    bool m_loaded = false;
};
