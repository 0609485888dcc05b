// SPDX-License-Identifier: MIT
#include "ThrottleOwnership.h"

#include "FileAccess.h"
#include "FileDescriptor.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ParameterDictionary.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <system_error>
#include <unistd.h>

namespace {

namespace OwnerKey = HelperProtocol::Owner;

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QJsonObject toJson(const ThrottleOwnership::Record& record) {
    const auto& owner = record.owner;
    // Whole numbers of up to 2^53 pass through a JSON number unchanged: far
    // more than any of these values.
    QJsonObject json = QJsonObject::fromVariantMap(ParameterDictionary::toWire(record.parameters));
    json.insert(key(OwnerKey::kBusName), owner.busName);
    json.insert(key(OwnerKey::kUid), qint64(owner.uid));
    json.insert(key(OwnerKey::kPid), qint64(owner.pid));
    json.insert(key(OwnerKey::kDescription), owner.description);
    json.insert(key(OwnerKey::kSince), owner.sinceMsecsSinceEpoch);
    json.insert(key(OwnerKey::kHeld), owner.held);
    return json;
}

// What every record has, as written: the keys that are written even when
// zero are required, the others may be absent.
bool readParameters(const QJsonObject& json, ThrottleParameters& parameters) {
    for (const auto& field : ThrottleParameters::fields()) {
        const QJsonValue value = json.value(key(field.key));
        if (value.isUndefined() && field.optional) {
            continue;
        }
        if (!value.isDouble()) {
            return false;
        }
        if (field.integer != nullptr) {
            parameters.*field.integer = value.toInteger();
        } else {
            parameters.*field.real = value.toDouble();
        }
    }
    return true;
}

std::optional<ThrottleOwnership::Record> fromJson(const QJsonObject& json) {
    for (const char* name : {OwnerKey::kBusName, OwnerKey::kDescription}) {
        if (!json.value(key(name)).isString()) {
            return std::nullopt;
        }
    }
    for (const char* name : {OwnerKey::kUid, OwnerKey::kPid, OwnerKey::kSince}) {
        if (!json.value(key(name)).isDouble()) {
            return std::nullopt;
        }
    }
    if (!json.value(key(OwnerKey::kHeld)).isBool()) {
        return std::nullopt;
    }
    ThrottleOwnership::Record record;
    auto& owner = record.owner;
    owner.busName = json.value(key(OwnerKey::kBusName)).toString();
    owner.uid = uint(json.value(key(OwnerKey::kUid)).toInteger());
    owner.pid = uint(json.value(key(OwnerKey::kPid)).toInteger());
    owner.description = json.value(key(OwnerKey::kDescription)).toString();
    owner.sinceMsecsSinceEpoch = json.value(key(OwnerKey::kSince)).toInteger();
    owner.held = json.value(key(OwnerKey::kHeld)).toBool();
    // The file is root's, but what it makes the daemon do is checked as a
    // call's would be.
    if (!readParameters(json, record.parameters) || !owner.busName.startsWith(QLatin1Char(':')) ||
        !isAcceptableDescription(owner.description) || record.parameters.check()) {
        return std::nullopt;
    }
    return record;
}

} // namespace

std::string ThrottleOwnership::Owner::name() const {
    return description.isEmpty() ? "process " + std::to_string(pid) : description.toStdString();
}

QVariantMap ThrottleOwnership::Owner::toWire() const {
    return {{key(OwnerKey::kBusName), busName},
            {key(OwnerKey::kUid), uid},
            {key(OwnerKey::kPid), pid},
            {key(OwnerKey::kDescription), description},
            {key(OwnerKey::kSince), sinceMsecsSinceEpoch},
            {key(OwnerKey::kHeld), held}};
}

ThrottleOwnership::ThrottleOwnership(const Logger& logger, std::string path)
    : m_logger(logger)
    , m_path(std::move(path)) {}

bool ThrottleOwnership::isHeldBy(const QString& busName) const {
    return m_current && m_current->owner.held && m_current->owner.busName == busName;
}

void ThrottleOwnership::take(Record record, quint64 change) {
    m_current = std::move(record);
    m_change = change;
    save();
}

void ThrottleOwnership::clear() {
    m_current.reset();
    save();
}

bool ThrottleOwnership::release(const QString& busName) {
    if (!isHeldBy(busName)) {
        return false;
    }
    m_current->owner.held = false;
    save();
    return true;
}

std::optional<ThrottleOwnership::Record> ThrottleOwnership::stored() const {
    for (const auto& removed : FileAccess::removeLeftoverTemporaries(m_path)) {
        m_logger.log("Removed leftover temporary file " + removed);
    }
    std::string text;
    try {
        text = FileAccess::readUtf8File(m_path, FileAccess::Links::refuse);
    } catch (const std::system_error& error) {
        if (error.code().value() != ENOENT) {
            m_logger.log(std::string("Ignored the owner record: ") + error.what());
        }
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    auto record = fromJson(document.object());
    if (!record) {
        m_logger.log("Ignored the owner record: its contents are not an owner's");
    }
    return record;
}

void ThrottleOwnership::save() const noexcept {
    try {
        if (!m_current) {
            if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
                throwErrno(errno);
            }
            return;
        }
        FileAccess::makeParentFolders(m_path);
        // Replaced, never written through: whatever is at the path goes.
        FileAccess::replaceAtomically(
            m_path, QJsonDocument(toJson(*m_current)).toJson(QJsonDocument::Compact).toStdString(),
            FileAccess::ExistingFile::replace, 0600, FileAccess::Durability::untilReboot);
    } catch (const std::exception& error) {
        // The throttling itself is in force either way; only a restart of
        // the daemon would miss who holds it.
        m_logger.log(std::string("Failed to write the owner record: ") + error.what());
    }
}

bool isAcceptableDescription(const QString& description) {
    if (description.size() > HelperProtocol::kMaxDescriptionLength) {
        return false;
    }
    for (const QChar character : description) {
        if (character.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}
