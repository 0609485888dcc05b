// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#include "UserDefaults.h"

#include "JsonSettingsFormat.h"
#include "SettingsKeys.h"

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(JsonSettingsFormat::format(), QSettings::UserScope,
                                             QStringLiteral("Veltrane"),
                                             QStringLiteral("Veltrane"))) {}

UserDefaults::UserDefaults(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, JsonSettingsFormat::format())) {}

UserDefaults::~UserDefaults() = default;

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
