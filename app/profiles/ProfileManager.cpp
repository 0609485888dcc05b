// SPDX-License-Identifier: MIT
#include "ProfileManager.h"

#include "Diagnostics.h"
#include "NumberText.h"
#include "ProfileJson.h"
#include "ProfileNameOrder.h"
#include "ProfileValidator.h"
#include "SettingsKeys.h"
#include "SharedFile.h"
#include "UnreadableFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

// The records of a custom profiles file, or why they cannot be read: one
// record that fails to decode fails the whole file.
std::optional<QList<ThrottleProfile>> decodeProfiles(const QByteArray& bytes, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                              : QStringLiteral("not a JSON array");
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<ThrottleProfile> profiles;
    profiles.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<ThrottleProfile> profile = ProfileJson::decode(array.at(i));
        if (!profile) {
            *error = QStringLiteral("record %1 is not a profile").arg(i + 1);
            return std::nullopt;
        }
        profiles.append(std::move(*profile));
    }
    return profiles;
}

std::optional<QList<ThrottleProfile>> decodeProfiles(const SharedFile::Contents& contents,
                                                     QString* error) {
    if (contents.tooLarge) {
        *error = QString::fromLatin1(SharedFile::kTooLargeText);
        return std::nullopt;
    }
    return decodeProfiles(contents.bytes, error);
}

QByteArray encodeProfiles(const QList<ThrottleProfile>& profiles) {
    QJsonArray records;
    for (const ThrottleProfile& profile : profiles) {
        records.append(ProfileJson::encode(profile));
    }
    // QJsonObject keeps its keys sorted, so every record is written in key order.
    return QJsonDocument(records).toJson(QJsonDocument::Indented);
}

// The application builds a profile for the user: a copy it may edit, of the
// conditions whole and the keys of a newer build, so that a duplicate
// carries everything its original has.
ThrottleProfile editableCopy(const ThrottleProfile& profile, const QUuid& id, const QString& name) {
    ThrottleProfile copy(id, name, profile.conditions, false, true);
    copy.otherKeys = profile.otherKeys;
    return copy;
}

// The name of a copy; a duplicate and an import of a taken name share it.
QString copyName(const QString& name) {
    return name + QStringLiteral(" Copy");
}

// A custom record that claims to be built-in cannot be one: it becomes an
// ordinary profile the user can edit, rather than being dropped.
QList<ThrottleProfile> repaired(QList<ThrottleProfile> records) {
    for (ThrottleProfile& profile : records) {
        if (profile.isBuiltIn()) {
            profile = editableCopy(profile, profile.id(), profile.name);
        }
    }
    return records;
}

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
    , m_defaults(defaults)
    , m_dataDirectory(std::move(dataDirectory))
    , m_builtInProfilesFile(std::move(builtInProfilesFile)) {
    if (const std::optional<QString> path = customProfilesURL()) {
        m_customFile = new SharedFile(*path, this);
        connect(m_customFile, &SharedFile::changed, this, &ProfileManager::reloadCustomProfiles);
    }
    connect(&m_defaults, &UserDefaults::reloaded, this, [this](const QStringList& keys) {
        if (keys.contains(SettingsKeys::deletedBuiltInProfiles) ||
            keys.contains(SettingsKeys::profileVisibilityOverrides)) {
            publishBuiltInProfiles(
                builtInProfilesFor(m_defaults.value(SettingsKeys::deletedBuiltInProfiles),
                                   m_defaults.value(SettingsKeys::profileVisibilityOverrides)),
                false);
        }
    });
    // Queued, so that construction stays cheap and views built right after
    // the store see it fill in through the change signals. A caller that
    // loaded already (a tool without an event loop) is not loaded again.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_loaded) {
                loadBuiltInProfiles();
                loadCustomProfiles();
            }
            if (m_customFile) {
                m_customFile->watch();
            }
        },
        Qt::QueuedConnection);
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
    const QStringList deleted = deletedIds(m_defaults.value(SettingsKeys::deletedBuiltInProfiles));
    return filtered(builtInTable(), [&deleted](const ThrottleProfile& profile) {
        return deleted.contains(ThrottleProfile::idText(profile.id()));
    });
}

ProfileChange ProfileManager::createProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return builtInNotCustom();
    }
    return changeCustomProfiles([&profile](QList<ThrottleProfile>& profiles) {
        if (withId(profiles, profile.id())) {
            return ProfileChange::refused(QStringLiteral("A profile with the id %1 already exists")
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
    return changeCustomProfiles([&profile](QList<ThrottleProfile>& profiles) {
        if (ThrottleProfile* stored = withId(profiles, profile.id())) {
            *stored = profile;
        } else {
            profiles.append(profile);
        }
        return ProfileChange::done(profile);
    });
}

ProfileChange ProfileManager::deleteProfile(const ThrottleProfile& profile) {
    const auto sameId = [&profile](const ThrottleProfile& p) { return p.id() == profile.id(); };
    if (!profile.isBuiltIn()) {
        // Gone already, by another hand, is what was asked.
        return changeCustomProfiles([&sameId](QList<ThrottleProfile>& profiles) {
            profiles.removeIf(sameId);
            return ProfileChange::done();
        });
    }
    return changeBuiltInProfiles([&](QVariantMap& settings, QList<ThrottleProfile>& builtIns) {
        QStringList deleted = deletedIds(settings.value(SettingsKeys::deletedBuiltInProfiles));
        if (const QString idText = ThrottleProfile::idText(profile.id());
            !deleted.contains(idText)) {
            deleted.append(idText);
        }
        settings.insert(SettingsKeys::deletedBuiltInProfiles, deleted);
        builtIns.removeIf(sameId);
        return ProfileChange::done();
    });
}

ProfileChange ProfileManager::duplicateProfile(const ThrottleProfile& profile) {
    // No uniqueness check: duplicating twice gives two profiles of the same name.
    return createProfile(editableCopy(profile, QUuid::createUuid(), copyName(profile.name)));
}

ProfileChange ProfileManager::importProfiles(const QList<ThrottleProfile>& profiles,
                                             NameClash clash, QList<ThrottleProfile>* added) {
    QList<ThrottleProfile> imported;
    ProfileChange change = changeCustomProfiles([&](QList<ThrottleProfile>& stored) {
        // Decided on the file as it is under the lock, with the names the
        // import adds as it goes, so no two profiles end with one name.
        // Keyed as the validator compares names, once each: a thousand
        // profiles into a thousand stay linear.
        QSet<QString> taken;
        const auto key = [](const QString& name) {
            return ProfileNameOrder::identityKey(NumberText::trimmed(name));
        };
        for (const QList<ThrottleProfile>* list : {&m_builtInProfiles, &stored}) {
            for (const ThrottleProfile& profile : *list) {
                taken.insert(key(profile.name));
            }
        }
        const auto isTaken = [&](const QString& name) { return taken.contains(key(name)); };
        QStringList clashes;
        imported.clear();
        for (const ThrottleProfile& profile : profiles) {
            QString name = profile.name;
            if (isTaken(name) && clash == NameClash::refuse) {
                clashes << QStringLiteral("'%1'").arg(name);
            }
            while (isTaken(name)) {
                name = copyName(name);
            }
            if (const ValidationResult valid = ProfileValidator::validateName(name);
                !valid.isValid) {
                return ProfileChange::refused(QStringLiteral("Profile '%1' cannot be renamed "
                                                             "to a free name: %2")
                                                  .arg(profile.name, *valid.message));
            }
            ThrottleProfile copy = editableCopy(profile, QUuid::createUuid(), name);
            copy.showInMenu = profile.showInMenu;
            taken.insert(key(name));
            imported << copy;
        }
        if (!clashes.isEmpty()) {
            return ProfileChange::refused(
                (clashes.size() == 1
                     ? QStringLiteral("Nothing imported: a profile named %1 already exists")
                     : QStringLiteral("Nothing imported: profiles named %1 already exist"))
                    .arg(clashes.join(QStringLiteral(", "))));
        }
        stored += imported;
        return ProfileChange::done();
    });
    if (added && change.outcome == ProfileChange::Outcome::done) {
        *added = imported;
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
        return changeBuiltInProfiles(
            [&flip](QVariantMap&, QList<ThrottleProfile>& builtIns) { return flip(builtIns); });
    }
    return changeCustomProfiles(flip);
}

ProfileChange ProfileManager::restoreBuiltInProfiles(const QList<QUuid>& ids) {
    return changeBuiltInProfiles([&](QVariantMap& settings, QList<ThrottleProfile>& builtIns) {
        QStringList deleted = deletedIds(settings.value(SettingsKeys::deletedBuiltInProfiles));
        for (const QUuid& id : ids) {
            deleted.removeAll(ThrottleProfile::idText(id));
        }
        settings.insert(SettingsKeys::deletedBuiltInProfiles, deleted);
        builtIns =
            builtInProfilesFor(deleted, settings.value(SettingsKeys::profileVisibilityOverrides));
        return ProfileChange::done();
    });
}

ProfileChange ProfileManager::changeCustomProfiles(const CustomEdit& edit) {
    const auto keptInMemory = [&](const QString& reason) {
        QList<ThrottleProfile> profiles = m_customProfiles;
        ProfileChange change = edit(profiles);
        if (!change.ok()) {
            return change;
        }
        Diagnostics::write(QStringLiteral("Failed to persist custom profiles: ") + reason);
        publishCustomProfiles(std::move(profiles), false);
        return ProfileChange::failed(reason, std::move(change.profile));
    };
    if (!m_customFile) {
        return keptInMemory(QStringLiteral("there is no folder to keep them in"));
    }
    std::optional<ProfileChange> answer;
    QList<ThrottleProfile> profiles;
    QString error;
    const SharedFile::Update update = m_customFile->update(
        [&](const SharedFile::Contents& current) -> std::optional<QByteArray> {
            if (current.exists) {
                QString decodeError;
                std::optional<QList<ThrottleProfile>> records =
                    decodeProfiles(current, &decodeError);
                if (records) {
                    profiles = repaired(std::move(*records));
                } else if (!UnreadableFile::keepCopy(m_customFile->path(),
                                                     QStringLiteral("custom profiles file"))) {
                    error = QStringLiteral("could not keep a copy of the unreadable file ") +
                            m_customFile->path();
                    return std::nullopt;
                }
            }
            const QList<ThrottleProfile> before = profiles;
            answer = edit(profiles);
            if (!answer->ok() || profiles == before) {
                return std::nullopt;
            }
            return encodeProfiles(profiles);
        },
        &error);
    if (update == SharedFile::Update::failed || !answer) {
        return keptInMemory(error);
    }
    // Written or not, this is the file as it is now.
    publishCustomProfiles(std::move(profiles), false);
    return *answer;
}

ProfileChange ProfileManager::changeBuiltInProfiles(const BuiltInEdit& edit) {
    std::optional<ProfileChange> answer;
    const bool written = m_defaults.modify([&](QVariantMap& settings) {
        QList<ThrottleProfile> builtIns =
            builtInProfilesFor(settings.value(SettingsKeys::deletedBuiltInProfiles),
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
    publishBuiltInProfiles(
        builtInProfilesFor(m_defaults.value(SettingsKeys::deletedBuiltInProfiles),
                           m_defaults.value(SettingsKeys::profileVisibilityOverrides)),
        false);
    if (!written && answer->ok()) {
        return ProfileChange::failed(QStringLiteral("Could not write the settings file ") +
                                         m_defaults.fileName(),
                                     std::move(answer->profile));
    }
    return *answer;
}

void ProfileManager::loadBuiltInProfiles() {
    m_loaded = true;
    publishBuiltInProfiles(
        builtInProfilesFor(m_defaults.value(SettingsKeys::deletedBuiltInProfiles),
                           m_defaults.value(SettingsKeys::profileVisibilityOverrides)),
        true);
}

void ProfileManager::loadCustomProfiles() {
    m_loaded = true;
    publishCustomProfiles(readCustomProfiles(), true);
}

void ProfileManager::reloadCustomProfiles() {
    publishCustomProfiles(readCustomProfiles(), false);
}

QList<ThrottleProfile> ProfileManager::readCustomProfiles() {
    if (!m_customFile) {
        return {};
    }
    const SharedFile::Contents contents = m_customFile->read();
    if (!contents.exists) {
        return {};
    }
    QString error = contents.error;
    std::optional<QList<ThrottleProfile>> records;
    if (error.isEmpty()) {
        records = decodeProfiles(contents, &error);
    }
    if (!records) {
        // Left as it is: the next change keeps a copy of it first.
        Diagnostics::write(QStringLiteral("Cannot read the custom profiles file %1: %2")
                               .arg(m_customFile->path(), error));
        return {};
    }
    return repaired(std::move(*records));
}

const QList<ThrottleProfile>& ProfileManager::builtInTable() const {
    if (!m_builtInTable) {
        std::optional<QList<ThrottleProfile>> profiles;
        QFile resource(m_builtInProfilesFile);
        if (!m_builtInProfilesFile.isEmpty() && resource.open(QIODevice::ReadOnly)) {
            QString ignored;
            profiles = decodeProfiles(resource.readAll(), &ignored);
        }
        m_builtInTable =
            ProfileNameOrder::sortedByName(profiles.value_or(ThrottleProfile::Preset::profiles()));
    }
    return *m_builtInTable;
}

QList<ThrottleProfile>
ProfileManager::builtInProfilesFor(const QVariant& deleted,
                                   const QVariant& visibilityOverrides) const {
    const QStringList deletedIdTexts = deletedIds(deleted);
    QList<ThrottleProfile> profiles = filtered(builtInTable(), [&](const ThrottleProfile& p) {
        return !deletedIdTexts.contains(ThrottleProfile::idText(p.id()));
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
