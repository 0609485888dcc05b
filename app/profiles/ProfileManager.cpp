// SPDX-License-Identifier: MIT
#include "ProfileManager.h"

#include "ProfileNameOrder.h"
#include "SettingsKeys.h"
#include "UnreadableFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <utility>

namespace {

// Diagnostics of the application go to standard output, one line each.
void logLine(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

std::optional<QList<ThrottleProfile>> decodeProfiles(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<ThrottleProfile> profiles;
    profiles.reserve(array.size());
    for (const QJsonValue record : array) {
        std::optional<ThrottleProfile> profile = ThrottleProfile::fromJson(record);
        if (!profile) {
            return std::nullopt;
        }
        profiles.append(std::move(*profile));
    }
    return profiles;
}

// The application builds a profile for the user: a copy it may edit.
ThrottleProfile editableCopy(const ThrottleProfile& profile, const QUuid& id, const QString& name) {
    return ThrottleProfile(id, name, profile.downloadBandwidth, profile.uploadBandwidth,
                           profile.latency, profile.packetLossPercent, profile.dnsDelay, false,
                           true);
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

} // namespace

ProfileManager::ProfileManager(UserDefaults& defaults, QString dataDirectory,
                               QString builtInProfilesFile, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_dataDirectory(std::move(dataDirectory))
    , m_builtInProfilesFile(std::move(builtInProfilesFile)) {
    // Queued, so that construction stays cheap and views built right after
    // the store see it fill in through the change signals.
    QMetaObject::invokeMethod(
        this,
        [this] {
            loadBuiltInProfiles();
            loadCustomProfiles();
        },
        Qt::QueuedConnection);
}

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

bool ProfileManager::createProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn() || customIndex(profile.id()) >= 0) {
        return true;
    }
    m_customProfiles.append(profile);
    emit customProfilesChanged();
    return persistCustomProfiles();
}

bool ProfileManager::saveProfile(const ThrottleProfile& profile) {
    if (profile.isBuiltIn()) {
        return true;
    }
    const qsizetype index = customIndex(profile.id());
    if (index >= 0) {
        m_customProfiles[index] = profile;
    } else {
        m_customProfiles.append(profile);
    }
    emit customProfilesChanged();
    return persistCustomProfiles();
}

bool ProfileManager::deleteProfile(const ThrottleProfile& profile) {
    const auto sameId = [&profile](const ThrottleProfile& p) { return p.id() == profile.id(); };
    if (profile.isBuiltIn()) {
        markBuiltInProfileDeleted(profile);
        m_builtInProfiles.removeIf(sameId);
        emit builtInProfilesChanged();
        saveVisibilityOverrides();
        return true;
    }
    m_customProfiles.removeIf(sameId);
    emit customProfilesChanged();
    return persistCustomProfiles();
}

ThrottleProfile ProfileManager::duplicateProfile(const ThrottleProfile& profile, bool* written) {
    // No uniqueness check: duplicating twice gives two profiles of the same name.
    ThrottleProfile copy =
        editableCopy(profile, QUuid::createUuid(), profile.name + QStringLiteral(" Copy"));
    const bool ok = createProfile(copy);
    if (written) {
        *written = ok;
    }
    return copy;
}

void ProfileManager::toggleMenuVisibility(const ThrottleProfile& profile) {
    for (ThrottleProfile& builtIn : m_builtInProfiles) {
        if (builtIn.id() == profile.id()) {
            builtIn.showInMenu = !builtIn.showInMenu;
            emit builtInProfilesChanged();
            saveVisibilityOverrides();
            return;
        }
    }
}

bool ProfileManager::toggleCustomProfileVisibility(const ThrottleProfile& profile) {
    const qsizetype index = customIndex(profile.id());
    if (index < 0) {
        return true;
    }
    m_customProfiles[index].showInMenu = !m_customProfiles[index].showInMenu;
    emit customProfilesChanged();
    return persistCustomProfiles();
}

void ProfileManager::loadBuiltInProfiles() {
    std::optional<QList<ThrottleProfile>> profiles;
    QFile resource(m_builtInProfilesFile);
    if (!m_builtInProfilesFile.isEmpty() && resource.open(QIODevice::ReadOnly)) {
        profiles = decodeProfiles(resource.readAll());
    }
    m_builtInProfiles =
        ProfileNameOrder::sortedByName(profiles.value_or(ThrottleProfile::Preset::profiles()));
    removeDeletedBuiltInProfiles();
    applyVisibilityOverrides();
    emit builtInProfilesChanged();
}

void ProfileManager::loadCustomProfiles() {
    m_customFileUnreadable = false;
    std::optional<QList<ThrottleProfile>> records;
    if (const std::optional<QString> path = customProfilesURL(); path && QFile::exists(*path)) {
        QFile file(*path);
        if (file.open(QIODevice::ReadOnly)) {
            records = decodeProfiles(file.readAll());
        }
        m_customFileUnreadable = !records.has_value();
    }
    QList<ThrottleProfile> profiles = records.value_or(QList<ThrottleProfile>());
    // A custom record that claims to be built-in cannot be one: make it an
    // ordinary profile the user can edit, rather than dropping it.
    for (ThrottleProfile& profile : profiles) {
        if (profile.isBuiltIn()) {
            profile = editableCopy(profile, profile.id(), profile.name);
        }
    }
    m_customProfiles = std::move(profiles);
    emit customProfilesChanged();
}

std::optional<QString> ProfileManager::customProfilesURL() const {
    if (m_dataDirectory.isEmpty()) {
        return std::nullopt;
    }
    const QString directory = m_dataDirectory + QStringLiteral("/Veltrane");
    // A failure surfaces when the file is written.
    QDir().mkpath(directory);
    return directory + QStringLiteral("/CustomProfiles.json");
}

void ProfileManager::removeDeletedBuiltInProfiles() {
    const QStringList deleted = m_defaults.stringListValue(SettingsKeys::deletedBuiltInProfiles);
    if (deleted.isEmpty()) {
        return;
    }
    m_builtInProfiles.removeIf([&deleted](const ThrottleProfile& profile) {
        return deleted.contains(ThrottleProfile::idText(profile.id()));
    });
}

void ProfileManager::applyVisibilityOverrides() {
    const QVariant stored = m_defaults.value(SettingsKeys::profileVisibilityOverrides);
    if (stored.typeId() != QMetaType::QVariantMap) {
        return;
    }
    const QVariantMap overrides = stored.toMap();
    // One value of another type means the map was not written by us: ignore it whole.
    for (const QVariant& value : overrides) {
        if (value.typeId() != QMetaType::Bool) {
            return;
        }
    }
    for (ThrottleProfile& profile : m_builtInProfiles) {
        const auto it = overrides.constFind(ThrottleProfile::idText(profile.id()));
        if (it != overrides.constEnd()) {
            profile.showInMenu = it->toBool();
        }
    }
}

void ProfileManager::saveVisibilityOverrides() {
    QVariantMap overrides;
    for (const ThrottleProfile& profile : m_builtInProfiles) {
        overrides.insert(ThrottleProfile::idText(profile.id()), profile.showInMenu);
    }
    m_defaults.setValue(SettingsKeys::profileVisibilityOverrides, overrides);
}

void ProfileManager::markBuiltInProfileDeleted(const ThrottleProfile& profile) {
    QStringList deleted = m_defaults.stringListValue(SettingsKeys::deletedBuiltInProfiles);
    const QString idText = ThrottleProfile::idText(profile.id());
    if (!deleted.contains(idText)) {
        deleted.append(idText);
        m_defaults.setValue(SettingsKeys::deletedBuiltInProfiles, deleted);
    }
}

bool ProfileManager::persistCustomProfiles() {
    const std::optional<QString> path = customProfilesURL();
    if (!path) {
        return true;
    }
    if (m_customFileUnreadable && QFile::exists(*path) &&
        !UnreadableFile::keepCopy(*path, QStringLiteral("custom profiles file"))) {
        logLine(QStringLiteral("Failed to persist custom profiles: could not keep a copy of the "
                               "unreadable file ") +
                *path);
        return false;
    }
    m_customFileUnreadable = false;
    QJsonArray records;
    for (const ThrottleProfile& profile : std::as_const(m_customProfiles)) {
        records.append(profile.toJson());
    }
    // QJsonObject keeps its keys sorted, so every record is written in key order.
    const QByteArray bytes = QJsonDocument(records).toJson(QJsonDocument::Indented);
    // A complete new file replaces the old one: never a half-written list.
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        logLine(QStringLiteral("Failed to persist custom profiles: ") + file.errorString());
        return false;
    }
    return true;
}

qsizetype ProfileManager::customIndex(const QUuid& id) const {
    const auto it = std::find_if(m_customProfiles.begin(), m_customProfiles.end(),
                                 [&id](const ThrottleProfile& p) { return p.id() == id; });
    return it == m_customProfiles.end() ? -1 : it - m_customProfiles.begin();
}
