// SPDX-License-Identifier: MIT
#include "UserDefaults.h"

#include "Diagnostics.h"
#include "SettingsJson.h"
#include "SettingsKeys.h"
#include "SharedFile.h"
#include "UnreadableFile.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <algorithm>

namespace {

std::optional<QVariantMap> decode(const SharedFile::Contents& contents, QString* error) {
    if (contents.tooLarge) {
        *error = QString::fromLatin1(SharedFile::kTooLargeText);
        return std::nullopt;
    }
    return SettingsJson::decode(contents.bytes, error);
}

QStringList changedKeys(const QVariantMap& before, const QVariantMap& after) {
    QStringList keys;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!after.contains(it.key()) || after.value(it.key()) != it.value()) {
            keys << it.key();
        }
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (!before.contains(it.key())) {
            keys << it.key();
        }
    }
    return keys;
}

} // namespace

QString UserDefaults::standardFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Veltrane/Veltrane.json");
}

UserDefaults::UserDefaults(QObject* parent)
    : UserDefaults(standardFilePath(), parent) {}

UserDefaults::UserDefaults(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_file(new SharedFile(filePath, this)) {
    load();
    connect(m_file, &SharedFile::changed, this, &UserDefaults::reload);
    // Watching starts with the event loop: a tool that never runs one needs none.
    QMetaObject::invokeMethod(m_file, &SharedFile::watch, Qt::QueuedConnection);
}

UserDefaults::~UserDefaults() = default;

bool UserDefaults::load() {
    const SharedFile::Contents contents = m_file->read();
    QString error = contents.error;
    std::optional<QVariantMap> values = QVariantMap();
    if (contents.exists && error.isEmpty()) {
        values = decode(contents, &error);
    }
    if (!values) {
        // Left as it is: the next write keeps a copy of it first.
        Diagnostics::write(
            QStringLiteral("Cannot read the settings file %1: %2").arg(m_file->path(), error));
        return false;
    }
    m_values = std::move(*values);
    return true;
}

void UserDefaults::reload() {
    const QVariantMap before = m_values;
    if (load()) {
        if (const QStringList keys = changedKeys(before, m_values); !keys.isEmpty()) {
            emit reloaded(keys);
        }
    }
}

bool UserDefaults::contains(QAnyStringView key) const {
    return m_values.contains(key.toString());
}

QVariant UserDefaults::value(QAnyStringView key) const {
    const QString name = key.toString();
    const auto it = m_values.constFind(name);
    return it != m_values.constEnd() ? *it : SettingsKeys::defaultValue(name);
}

QStringList UserDefaults::stringListValue(QAnyStringView key) const {
    const QVariant stored = value(key);
    if (stored.typeId() == QMetaType::QStringList) {
        return stored.toStringList();
    }
    return SettingsKeys::defaultValue(key.toString()).toStringList();
}

void UserDefaults::setValue(QAnyStringView key, const QVariant& value) {
    const QString name = key.toString();
    modify([&](QVariantMap& values) {
        if (values.contains(name) && values.value(name) == value) {
            return false;
        }
        values.insert(name, value);
        return true;
    });
}

void UserDefaults::remove(QAnyStringView key) {
    const QString name = key.toString();
    modify([&](QVariantMap& values) { return values.remove(name) > 0; });
}

bool UserDefaults::modify(const std::function<bool(QVariantMap& values)>& change) {
    // Past the deadline the lock is still tried once: a free file is written.
    const auto lockWait =
        std::min(SharedFile::usualLockWait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                m_writeDeadline.remainingTimeAsDuration()));
    std::optional<QVariantMap> found;
    std::optional<QVariantMap> written;
    QString error;
    const SharedFile::Update update = m_file->update(
        [&](const SharedFile::Contents& current) -> std::optional<QByteArray> {
            QString ignored;
            found = current.exists ? decode(current, &ignored) : QVariantMap();
            if (!found) {
                if (!UnreadableFile::keepCopy(m_file->path(), QStringLiteral("settings file"))) {
                    error = QStringLiteral("could not keep a copy of the unreadable file");
                    return std::nullopt;
                }
                found = QVariantMap();
            }
            written = *found;
            return change(*written) ? std::optional(SettingsJson::encode(*written)) : std::nullopt;
        },
        &error, lockWait);
    if (update == SharedFile::Update::tooLarge) {
        error = QStringLiteral("it would grow larger than ") +
                QLatin1StringView(SharedFile::kMaxSizeText);
    }
    if (update == SharedFile::Update::failed || !error.isEmpty()) {
        Diagnostics::write(
            QStringLiteral("Failed to write the settings file %1: %2").arg(m_file->path(), error));
        change(m_values);
        m_writeFailed = true;
        return false;
    }
    // The file as found may hold changes of others that no reload has
    // brought in yet; once this write lands, no watch will report them.
    const QStringList changedElsewhere = changedKeys(m_values, *found);
    m_values = std::move(*written);
    if (!changedElsewhere.isEmpty()) {
        emit reloaded(changedElsewhere);
    }
    return true;
}

bool UserDefaults::sync() {
    return !std::exchange(m_writeFailed, false);
}

QString UserDefaults::fileName() const {
    return m_file->path();
}
