// SPDX-License-Identifier: MIT
#include "ProfileExchange.h"

#include "LinkSafeFile.h"
#include "ProfileFormData.h"
#include "ProfileJson.h"
#include "ProfileValidator.h"
#include "SharedFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ProfileExchange {

namespace {

constexpr QLatin1StringView kFormatKey("format");
constexpr QLatin1StringView kVersionKey("version");
constexpr QLatin1StringView kProfilesKey("profiles");

QString profileCount(qsizetype count) {
    return count == 1 ? QStringLiteral("1 profile") : QStringLiteral("%1 profiles").arg(count);
}

// Qt reports where parsing stopped as a byte offset; people look for lines.
QString position(const QByteArray& bytes, int offset) {
    const QByteArray before = bytes.left(offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = offset - (before.lastIndexOf('\n') + 1) + 1;
    return QStringLiteral("line %1, column %2 (offset %3)").arg(line).arg(column).arg(offset);
}

Decoded failure(QString error) {
    return {{}, std::move(error)};
}

// A record how the user would recognise it: by its name where it has one.
QString recordLabel(const QJsonValue& record, qsizetype index) {
    const QJsonValue name = record.toObject().value(QLatin1StringView("name"));
    return name.isString() ? QStringLiteral("Profile '%1'").arg(name.toString())
                           : QStringLiteral("Profile %1").arg(index + 1);
}

} // namespace

QJsonDocument document(const QList<ThrottleProfile>& profiles) {
    QJsonArray records;
    for (const ThrottleProfile& profile : profiles) {
        QJsonObject record = ProfileJson::encode(profile);
        record.insert(QLatin1StringView("isBuiltIn"), false);
        records.append(record);
    }
    const QJsonObject object{
        {kFormatKey, QString(kFormat)}, {kVersionKey, kVersion}, {kProfilesKey, records}};
    return QJsonDocument(object);
}

QByteArray encode(const QList<ThrottleProfile>& profiles) {
    return document(profiles).toJson(QJsonDocument::Indented);
}

Decoded decode(const QByteArray& bytes) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return failure(QStringLiteral("not JSON: %1 at %2")
                           .arg(parseError.errorString(), position(bytes, parseError.offset)));
    }
    const QJsonObject object = document.object();
    if (!document.isObject() || object.value(kFormatKey) != QJsonValue(QString(kFormat))) {
        return failure(QStringLiteral("not a Veltrane profiles file (it has no \"format\": "
                                      "\"%1\")")
                           .arg(kFormat));
    }
    const QJsonValue version = object.value(kVersionKey);
    if (version != QJsonValue(kVersion)) {
        return failure(QStringLiteral("a profiles file of version %1; this Veltrane reads "
                                      "version %2")
                           .arg(version.isDouble() ? QString::number(version.toDouble())
                                                   : QStringLiteral("(none)"))
                           .arg(kVersion));
    }
    if (!object.value(kProfilesKey).isArray()) {
        return failure(QStringLiteral("its \"profiles\" are not a list"));
    }
    const QJsonArray records = object.value(kProfilesKey).toArray();
    Decoded decoded;
    decoded.profiles.reserve(records.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QJsonValue record = records.at(i);
        const std::optional<ThrottleProfile> profile = ProfileJson::decode(record);
        if (!profile) {
            return failure(recordLabel(record, i) + QStringLiteral(" is not a profile record"));
        }
        // Names are matched against the store's when the file is imported.
        const ProfileFormData form = ProfileFormData::from(*profile);
        const ProfileValidationResult result =
            ProfileValidator::validateProfile(form, {}, std::nullopt);
        if (!result.isValid) {
            return failure(recordLabel(record, i) + QStringLiteral(": ") +
                           result.errors.join(QStringLiteral("; ")));
        }
        // Through the form, as the editor saves: what is stored is what the
        // validator passed, not a value it read past (a negative loss).
        ThrottleProfile imported = form.to(profile->id(), false);
        imported.showInMenu = profile->showInMenu;
        decoded.profiles.append(std::move(imported));
    }
    return decoded;
}

Decoded read(const QString& path) {
    // One byte under the store's limit: a file of exactly 16 MiB is refused too.
    const LinkSafeFile::Contents contents = LinkSafeFile::read(path, SharedFile::kMaxSize - 1);
    Decoded decoded;
    switch (contents.status) {
    case LinkSafeFile::Contents::Status::missing:
        decoded.error = QStringLiteral("there is no such file");
        break;
    case LinkSafeFile::Contents::Status::tooLarge:
        decoded.error = QStringLiteral("16 MiB or larger, too large for a profiles file");
        break;
    case LinkSafeFile::Contents::Status::failed:
        decoded.error = contents.error;
        break;
    case LinkSafeFile::Contents::Status::read:
        decoded = decode(contents.bytes);
        break;
    }
    if (!decoded.error.isEmpty()) {
        decoded.error = QStringLiteral("Cannot import %1: %2").arg(path, decoded.error);
    }
    return decoded;
}

Outcome importFile(ProfileManager& store, const QString& path, ProfileManager::NameClash clash) {
    const Decoded decoded = read(path);
    if (!decoded.error.isEmpty()) {
        return {Outcome::Status::badFile, decoded.error};
    }
    QList<ThrottleProfile> added;
    const ProfileChange change = store.importProfiles(decoded.profiles, clash, &added);
    switch (change.outcome) {
    case ProfileChange::Outcome::refused:
        return {Outcome::Status::refused, change.message};
    case ProfileChange::Outcome::failed:
        return {Outcome::Status::failed,
                QStringLiteral("Could not save the change: ") + change.message};
    case ProfileChange::Outcome::done:
        break;
    }
    if (added.isEmpty()) {
        return {Outcome::Status::done, QStringLiteral("Imported no profiles: the file holds none")};
    }
    QStringList names;
    for (const ThrottleProfile& profile : added) {
        names << profile.name;
    }
    return {Outcome::Status::done,
            QStringLiteral("Imported %1: %2").arg(profileCount(added.size()), names.join(u", "))};
}

Outcome exportFile(const QList<ThrottleProfile>& profiles, const QString& path) {
    QString error;
    if (!LinkSafeFile::replace(path, encode(profiles), &error)) {
        return {Outcome::Status::failed, error};
    }
    return {Outcome::Status::done,
            QStringLiteral("Exported %1 to %2").arg(profileCount(profiles.size()), path)};
}

} // namespace ProfileExchange
