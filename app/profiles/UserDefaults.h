// SPDX-License-Identifier: MIT
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// The user's settings: named values that keep their types across restarts,
// and read as the defaults of SettingsKeys until they are first written.
// Writes land in memory at once; QSettings makes them durable on its own
// schedule, or at sync().
class UserDefaults final {
public:
    // The application's store, <config home>/Veltrane/Veltrane.json.
    UserDefaults();
    // A store in the given file; tests and tools choose their own.
    explicit UserDefaults(const QString& filePath);
    ~UserDefaults();

    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The process-wide store of the application.
    static UserDefaults& standard();

    bool contains(QAnyStringView key) const;
    // The stored value, or the key's default when it was never written.
    QVariant value(QAnyStringView key) const;
    bool boolValue(QAnyStringView key) const { return value(key).toBool(); }
    int integerValue(QAnyStringView key) const { return value(key).toInt(); }
    QString stringValue(QAnyStringView key) const { return value(key).toString(); }
    QStringList stringListValue(QAnyStringView key) const { return value(key).toStringList(); }

    void setValue(QAnyStringView key, const QVariant& value);
    void remove(QAnyStringView key);

    // Writes pending changes to the file; false when that failed.
    bool sync();
    QString fileName() const;

private:
    void setAsideIfUnreadable();

    std::unique_ptr<QSettings> m_settings;
};
