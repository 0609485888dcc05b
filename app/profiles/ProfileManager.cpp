// SPDX-License-Identifier: MIT
#include "ProfileManager.h"

#include "ProfileCopy.h"
#include "ProfileNameOrder.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

template <typename Predicate>
QList<ThrottleProfile> filtered(const QList<ThrottleProfile>& profiles, Predicate predicate) {
    QList<ThrottleProfile> result;
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(result), predicate);
    return result;
}

bool shownInMenu(const ThrottleProfile& profile) {
    return profile.showInMenu;
}

ThrottleProfile* withId(QList<ThrottleProfile>& profiles, const QUuid& id) {
    const auto it = std::find_if(profiles.begin(), profiles.end(),
                                 [&id](const ThrottleProfile& p) { return p.id() == id; });
    return it == profiles.end() ? nullptr : &*it;
}

ProfileChange notStored(const ThrottleProfile& profile, const char* kind) {
    return ProfileChange::refused(
        QStringLiteral("There is no %1 profile '%2'").arg(QLatin1StringView(kind), profile.name));
}

ProfileChange builtInNotCustom() {
    return ProfileChange::refused(QStringLiteral(
        "Built-in profile — cannot be edited. Use 'Duplicate' to create an editable copy."));
}

} // namespace

ProfileManager::ProfileManager(UserDefaults& defaults, QString dataDirectory,
                               QString builtInProfilesFile, QObject* parent)
    : QObject(parent)
    , m_dataDirectory(std::move(dataDirectory))
    , m_builtIns(defaults, std::move(builtInProfilesFile))
    , m_customFile(customProfilesURL())
    , m_reloads(defaults, m_builtIns, m_customFile) {
    // A caller that loaded already (a tool without an event loop) is not
    // loaded again.
    connect(&m_reloads, &ProfileReloads::loadDue, this, [this] {
        if (!m_loaded) {
            loadBuiltInProfiles();
            loadCustomProfiles();
        }
    });
    connect(&m_reloads, &ProfileReloads::builtInProfilesReread, this,
            [this](const QList<ThrottleProfile>& profiles) {
                publishBuiltInProfiles(profiles, false);
            });
    connect(
        &m_reloads, &ProfileReloads::customProfilesReread, this,
        [this](const QList<ThrottleProfile>& profiles) { publishCustomProfiles(profiles, false); });
}

ProfileManager::~ProfileManager() = default;

QString ProfileManager::defaultDataDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QList<ThrottleProfile> ProfileManager::allProfiles() const {
    return m_builtInProfiles + ProfileNameOrder::sortedByName(m_customProfiles);
}

QList<ThrottleProfile> ProfileManager::menuBuiltInProfiles() const {
    return filtered(m_builtInProfiles, shownInMenu);
}

QList<ThrottleProfile> ProfileManager::menuCustomProfiles() const {
    return ProfileNameOrder::sortedByName(filtered(m_customProfiles, shownInMenu));
}

std::optional<ThrottleProfile> ProfileManager::profile(const QUuid& withID) const {
    const auto matches = [&withID](const ThrottleProfile& p) { return p.id() == withID; };
    // Built-in profiles come first in allProfiles, and the order of the
    // custom ones does not matter for an id, so no sorting is needed here.
    for (const QList<ThrottleProfile>* list : {&m_builtInProfiles, &m_customProfiles}) {
        const auto it = std::find_if(list->begin(), list->end(), matches);
        if (it != list->end()) {
            return *it;
        }
    }
    return std::nullopt;
}

QList<ThrottleProfile> ProfileManager::deletedBuiltInProfiles() const {
    return m_builtIns.deleted();
}

ProfileChange ProfileManager::createProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return builtInNotCustom();
    }
    return changeCustomProfiles(
        QStringLiteral("The new profile"), [&profile](QList<ThrottleProfile>& profiles) {
            if (withId(profiles, profile.id())) {
                return ProfileChange::refused(
                    QStringLiteral("A profile with the id %1 already exists")
                        .arg(ThrottleProfile::idText(profile.id())));
            }
            profiles.append(profile);
            return ProfileChange::done(profile);
        });
}

ProfileChange ProfileManager::saveProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return builtInNotCustom();
    }
    return changeCustomProfiles(QStringLiteral("The change"),
                                [&profile](QList<ThrottleProfile>& profiles) {
                                    if (ThrottleProfile* stored = withId(profiles, profile.id())) {
                                        *stored = profile;
                                    } else {
                                        profiles.append(profile);
                                    }
                                    return ProfileChange::done(profile);
                                });
}

ProfileChange ProfileManager::deleteProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return publishedAfter(m_builtIns.remove(profile));
    }
    // Gone already, by another hand, is what was asked.
    return changeCustomProfiles(QStringLiteral("The change"),
                                [&profile](QList<ThrottleProfile>& profiles) {
                                    profiles.removeIf([&profile](const ThrottleProfile& p) {
                                        return p.id() == profile.id();
                                    });
                                    return ProfileChange::done();
                                });
}

ProfileChange ProfileManager::duplicateProfile(const ThrottleProfile& profile) {
    // No uniqueness check: duplicating twice gives two profiles of the same name.
    return createProfile(
        ProfileCopy::editable(profile, QUuid::createUuid(), ProfileCopy::nameFor(profile.name)));
}

ProfileChange ProfileManager::importProfiles(const QList<ThrottleProfile>& profiles,
                                             NameClash clash, QList<ThrottleProfile>* added) {
    ProfileImport import(profiles, clash);
    ProfileChange change = changeCustomProfiles(
        QStringLiteral("Nothing imported: the profiles"),
        [&](QList<ThrottleProfile>& stored) { return import.addTo(stored, m_builtInProfiles); });
    if (added && change.outcome == ProfileChange::Outcome::done) {
        *added = import.added();
    }
    return change;
}

ProfileChange ProfileManager::toggleMenuVisibility(const ThrottleProfile& profile) {
    if (!profile.isBuiltIn()) {
        return notStored(profile, "built-in");
    }
    return changeVisibility(profile, std::nullopt);
}

ProfileChange ProfileManager::toggleCustomProfileVisibility(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return notStored(profile, "custom");
    }
    return changeVisibility(profile, std::nullopt);
}

ProfileChange ProfileManager::setShownInMenu(const ThrottleProfile& profile, bool shown) {
    return changeVisibility(profile, shown);
}

ProfileChange ProfileManager::changeVisibility(const ThrottleProfile& profile,
                                               std::optional<bool> shown) {
    // Decided on the stored profile, not on the caller's copy, which may be
    // older than a change another process made.
    const auto flip = [&profile, shown](QList<ThrottleProfile>& profiles) {
        ThrottleProfile* stored = withId(profiles, profile.id());
        if (!stored) {
            return notStored(profile, profile.isBuiltIn() ? "built-in" : "custom");
        }
        stored->showInMenu = shown.value_or(!stored->showInMenu);
        return ProfileChange::done(*stored);
    };
    if (profile.isBuiltIn()) {
        return publishedAfter(m_builtIns.change(flip));
    }
    return changeCustomProfiles(QStringLiteral("The change"), flip);
}

ProfileChange ProfileManager::restoreBuiltInProfiles(const QList<QUuid>& ids) {
    return publishedAfter(m_builtIns.restore(ids));
}

ProfileChange ProfileManager::changeCustomProfiles(const QString& subject,
                                                   const CustomProfilesFile::Edit& edit) {
    QList<ThrottleProfile> profiles = m_customProfiles;
    ProfileChange change = m_customFile.change(edit, profiles, subject);
    publishCustomProfiles(std::move(profiles), false);
    return change;
}

ProfileChange ProfileManager::publishedAfter(ProfileChange builtInChange) {
    publishBuiltInProfiles(m_builtIns.current(), false);
    return builtInChange;
}

void ProfileManager::loadBuiltInProfiles() {
    m_loaded = true;
    publishBuiltInProfiles(m_builtIns.current(), true);
}

void ProfileManager::loadCustomProfiles() {
    m_loaded = true;
    publishCustomProfiles(m_customFile.read(), true);
}

void ProfileManager::publishBuiltInProfiles(QList<ThrottleProfile> profiles, bool always) {
    if (always || profiles != m_builtInProfiles) {
        m_builtInProfiles = std::move(profiles);
        emit builtInProfilesChanged();
    }
}

void ProfileManager::publishCustomProfiles(QList<ThrottleProfile> profiles, bool always) {
    if (always || profiles != m_customProfiles) {
        m_customProfiles = std::move(profiles);
        emit customProfilesChanged();
    }
}

std::optional<QString> ProfileManager::customProfilesURL() const {
    if (m_dataDirectory.isEmpty()) {
        return std::nullopt;
    }
    // Made when the file is first written, not before: reading must leave
    // no trace in a folder this process may only read.
    return m_dataDirectory + QStringLiteral("/Veltrane/CustomProfiles.json");
}
