// SPDX-License-Identifier: MIT
#include "ThrottleOwnership.h"

#include "FileAccess.h"
#include "FileDescriptor.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ParameterDictionary.h"
#include "ScheduleDictionary.h"
#include "ScopeDictionary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QVariantList>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

namespace OwnerKey = HelperProtocol::Owner;

QString key(const char* name) {
    return QString::fromLatin1(name);
}

// The key of a record's throttle id; a record without one was written by a
// helper that did not keep them, and gets a new id when read.
const QString kIdKey = QStringLiteral("id");

// When the record's schedule started, beside it.
const QString kScheduleStartedAtKey = QStringLiteral("scheduleStartedAt");

// The bus's typed lists (aa{sv}, ax) are not QVariantLists, which is all
// that QJsonValue::fromVariant takes for an array.
QJsonValue jsonOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QVariantMap) {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto entry = map.begin(); entry != map.end(); ++entry) {
            object.insert(entry.key(), jsonOf(entry.value()));
        }
        return object;
    }
    QJsonArray array;
    if (value.metaType() == QMetaType::fromType<QList<QVariantMap>>()) {
        for (const QVariantMap& item : value.value<QList<QVariantMap>>()) {
            array.append(jsonOf(item));
        }
        return array;
    }
    if (value.metaType() == QMetaType::fromType<QList<qlonglong>>()) {
        for (const qlonglong item : value.value<QList<qlonglong>>()) {
            array.append(qint64(item));
        }
        return array;
    }
    return QJsonValue::fromVariant(value);
}

QJsonObject toJson(quint64 id, const ThrottleOwnership::Record& record) {
    const auto& owner = record.owner;
    // Whole numbers of up to 2^53 pass through a JSON number unchanged: far
    // more than any of these values.
    QJsonObject json = QJsonObject::fromVariantMap(ParameterDictionary::toWire(record.parameters));
    json.insert(kIdKey, qint64(id));
    json.insert(key(OwnerKey::kBusName), owner.busName);
    json.insert(key(OwnerKey::kUid), qint64(owner.uid));
    json.insert(key(OwnerKey::kPid), qint64(owner.pid));
    json.insert(key(OwnerKey::kDescription), owner.description);
    json.insert(key(OwnerKey::kSince), owner.sinceMsecsSinceEpoch);
    json.insert(key(OwnerKey::kHeld), owner.held);
    if (!record.scope.isMachine()) {
        json.insert(key(HelperProtocol::kScopeKey),
                    QJsonObject::fromVariantMap(ScopeDictionary::toWire(record.scope)));
    }
    if (!record.schedule.empty()) {
        json.insert(key(HelperProtocol::kScheduleKey),
                    jsonOf(ScheduleDictionary::toWire(record.schedule)));
        json.insert(kScheduleStartedAtKey, record.scheduleStartedAt);
    }
    return json;
}

// A schedule as written: numbers come back as JSON has them, and then it is
// read as strictly as a call's, typed as the bus would have typed them.
bool readSchedule(const QJsonObject& json, ThrottleOwnership::Record& record) {
    const QJsonValue value = json.value(key(HelperProtocol::kScheduleKey));
    if (value.isUndefined()) {
        return true;
    }
    if (!value.isObject() || !json.value(kScheduleStartedAtKey).isDouble()) {
        return false;
    }
    QVariantMap dictionary = value.toObject().toVariantMap();
    QVariantList phases = dictionary.value(key(ScheduleDictionary::kPhases)).toList();
    for (QVariant& phase : phases) {
        QVariantMap fields = phase.toMap();
        QVariantMap configuration = fields.value(key(ScheduleDictionary::kConfiguration)).toMap();
        for (auto entry = configuration.begin(); entry != configuration.end(); ++entry) {
            const auto* field = ThrottleParameters::field(entry.key().toStdString());
            if (field != nullptr && field->real != nullptr) {
                *entry = entry->toDouble();
            }
        }
        if (fields.contains(key(ScheduleDictionary::kConfiguration))) {
            fields.insert(key(ScheduleDictionary::kConfiguration), configuration);
        }
        phase = fields;
    }
    if (dictionary.contains(key(ScheduleDictionary::kPhases))) {
        dictionary.insert(key(ScheduleDictionary::kPhases), phases);
    }
    QString ignored;
    const auto schedule = ScheduleDictionary::fromWire(dictionary, ignored);
    if (!schedule) {
        return false;
    }
    record.schedule = *schedule;
    record.scheduleStartedAt = json.value(kScheduleStartedAtKey).toInteger();
    return true;
}

// A scope as written: its lists come back as lists of texts, and then it is
// read as strictly as a call's.
bool readScope(const QJsonValue& value, ThrottleScope& scope) {
    if (value.isUndefined()) {
        return true;
    }
    if (!value.isObject()) {
        return false;
    }
    QVariantMap dictionary = value.toObject().toVariantMap();
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        if (entry->typeId() == QMetaType::QVariantList) {
            *entry = entry->toStringList();
        }
    }
    QString ignored;
    const auto read = ScopeDictionary::fromWire(dictionary, ignored);
    if (read) {
        scope = *read;
    }
    return read.has_value();
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
    if (!readParameters(json, record.parameters) ||
        !readScope(json.value(key(HelperProtocol::kScopeKey)), record.scope) ||
        !readSchedule(json, record) || !owner.busName.startsWith(QLatin1Char(':')) ||
        !isAcceptableDescription(owner.description) || record.parameters.check()) {
        return std::nullopt;
    }
    return record;
}

// The key of the file's list; a file without it is one whole-machine record,
// as a helper that knew one throttle wrote it.
const QString kThrottlesKey = QStringLiteral("throttles");
// The last id the process gave; exact as a JSON number far beyond any count.
const QString kLastIdKey = QStringLiteral("lastId");

// By id; `lastId` grows past every id read, and gives the records without
// one theirs.
std::optional<std::map<quint64, ThrottleOwnership::Record>> recordsOf(const QJsonObject& json,
                                                                      quint64& lastId) {
    const QJsonArray list =
        json.contains(kThrottlesKey) ? json.value(kThrottlesKey).toArray() : QJsonArray{json};
    if (json.contains(kThrottlesKey) && !json.value(kThrottlesKey).isArray()) {
        return std::nullopt;
    }
    std::map<quint64, ThrottleOwnership::Record> records;
    std::vector<ThrottleOwnership::Record> withoutId;
    for (const QJsonValue& value : list) {
        const auto record = fromJson(value.toObject());
        const QJsonValue id = value.toObject().value(kIdKey);
        if (!record || (!id.isUndefined() && (!id.isDouble() || id.toInteger() <= 0 ||
                                              records.contains(quint64(id.toInteger()))))) {
            return std::nullopt;
        }
        if (id.isUndefined()) {
            withoutId.push_back(*record);
        } else {
            records.emplace(quint64(id.toInteger()), *record);
            lastId = std::max(lastId, quint64(id.toInteger()));
        }
    }
    for (ThrottleOwnership::Record& record : withoutId) {
        records.emplace(++lastId, std::move(record));
    }
    return records;
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

const ThrottleOwnership::Record* ThrottleOwnership::find(quint64 id) const {
    const auto found = m_throttles.find(id);
    return found == m_throttles.end() ? nullptr : &found->second;
}

const ThrottleOwnership::Record* ThrottleOwnership::principal() const {
    const auto id = principalId();
    return id ? find(*id) : nullptr;
}

std::optional<quint64> ThrottleOwnership::principalId() const {
    for (const auto& [id, record] : m_throttles) {
        if (record.scope.isMachine()) {
            return id;
        }
    }
    return m_throttles.empty() ? std::nullopt : std::optional(m_throttles.rbegin()->first);
}

std::vector<quint64> ThrottleOwnership::heldBy(const QString& busName) const {
    std::vector<quint64> ids;
    for (const auto& [id, record] : m_throttles) {
        if (record.owner.held && record.owner.busName == busName) {
            ids.push_back(id);
        }
    }
    return ids;
}

void ThrottleOwnership::take(quint64 id, Record record) {
    m_lastId = std::max(m_lastId, id);
    m_throttles.insert_or_assign(id, std::move(record));
    save();
}

void ThrottleOwnership::setCgroups(quint64 id, std::vector<std::string> cgroups) {
    const auto found = m_throttles.find(id);
    if (found != m_throttles.end()) {
        found->second.scope.cgroups = std::move(cgroups);
        save();
    }
}

void ThrottleOwnership::keepOnly(const std::vector<quint64>& inForce) {
    const auto before = m_throttles.size();
    std::erase_if(m_throttles, [&](const auto& entry) {
        return std::find(inForce.begin(), inForce.end(), entry.first) == inForce.end();
    });
    if (m_throttles.size() != before) {
        save();
    }
}

void ThrottleOwnership::clear() {
    m_throttles.clear();
    save();
}

bool ThrottleOwnership::release(const QString& busName) {
    const std::vector<quint64> held = heldBy(busName);
    for (const quint64 id : held) {
        m_throttles.at(id).owner.held = false;
    }
    if (!held.empty()) {
        save();
    }
    return !held.empty();
}

void ThrottleOwnership::keepHeldOnly() {
    std::erase_if(m_throttles, [](const auto& entry) { return !entry.second.owner.held; });
    save();
}

std::map<quint64, ThrottleOwnership::Record> ThrottleOwnership::stored(quint64* lastId) {
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
        return {};
    }
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    // Read first, so that ids already given are never given again even
    // when the rest cannot be trusted.
    quint64 last = std::max<qint64>(json.value(kLastIdKey).toInteger(), 0);
    auto records = recordsOf(json, last);
    m_lastId = std::max(m_lastId, last);
    if (lastId != nullptr) {
        *lastId = m_lastId;
    }
    if (!records) {
        m_logger.log("Ignored the owner record: its contents are not an owner's");
        return {};
    }
    return *records;
}

void ThrottleOwnership::save() const noexcept {
    try {
        QJsonArray list;
        for (const auto& [id, record] : m_throttles) {
            list.append(toJson(id, record));
        }
        FileAccess::makeParentFolders(m_path);
        // Replaced, never written through: whatever is at the path goes. Kept
        // with nothing on as well: the last id given outlives the process,
        // so that no id names two throttles on this machine until it
        // restarts, whatever a client still holds.
        FileAccess::replaceAtomically(
            m_path,
            QJsonDocument(QJsonObject{{kThrottlesKey, list}, {kLastIdKey, qint64(m_lastId)}})
                .toJson(QJsonDocument::Compact)
                .toStdString(),
            FileAccess::ExistingFile::replace, 0600, FileAccess::Durability::untilReboot);
    } catch (const std::exception& error) {
        // The throttling itself is in force either way; only a restart of
        // the daemon would miss who holds it, or give an id again.
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
