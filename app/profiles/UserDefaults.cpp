// SPDX-License-Identifier: MIT
#include "UserDefaults.h"

#include "JsonSettingsFormat.h"
#include "SettingsKeys.h"
#include "UnreadableFile.h"

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(JsonSettingsFormat::format(), QSettings::UserScope,
                                             QStringLiteral("Veltrane"),
                                             QStringLiteral("Veltrane"))) {
    setAsideIfUnreadable();
}

UserDefaults::UserDefaults(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, JsonSettingsFormat::format())) {
    setAsideIfUnreadable();
}

UserDefaults::~UserDefaults() = default;

void UserDefaults::setAsideIfUnreadable() {
    // QSettings would write its next change over a file it could not decode,
    // and report every later write as failed. Nothing was read from the file,
    // so moving it aside and starting afresh loses nothing.
    if (m_settings->status() != QSettings::FormatError) {
        return;
    }
    const QString path = m_settings->fileName();
    if (UnreadableFile::moveAside(path, QStringLiteral("settings file"))) {
        m_settings = std::make_unique<QSettings>(path, JsonSettingsFormat::format());
    }
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

bool UserDefaults::contains(QAnyStringView key) const {
    return m_settings->contains(key);
}

QVariant UserDefaults::value(QAnyStringView key) const {
    if (m_settings->contains(key)) {
        return m_settings->value(key);
    }
    return SettingsKeys::defaultValue(key.toString());
}

void UserDefaults::setValue(QAnyStringView key, const QVariant& value) {
    m_settings->setValue(key, value);
}

void UserDefaults::remove(QAnyStringView key) {
    m_settings->remove(key);
}

bool UserDefaults::sync() {
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString UserDefaults::fileName() const {
    return m_settings->fileName();
}
