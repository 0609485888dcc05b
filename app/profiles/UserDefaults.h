// SPDX-License-Identifier: MIT
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>

class SharedFile;

// The user's settings: named values that keep their types across restarts,
// and read as the defaults of SettingsKeys until they are first written.
// The file is shared with veltranectl: every write is a read-modify-write
// under the file's lock, so a write here never undoes one made elsewhere,
// and a change made elsewhere is read again within about a second once an
// event loop runs. Lives on the thread that made it.
class UserDefaults final : public QObject {
    Q_OBJECT

public:
    // The application's store, <config home>/Veltrane/Veltrane.json.
    explicit UserDefaults(QObject* parent = nullptr);
    // A store in the given file; tests and tools choose their own.
    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);
    ~UserDefaults() override;

    // <config home>/Veltrane/Veltrane.json
    static QString standardFilePath();

    bool contains(QAnyStringView key) const;
    // The stored value, or the key's default when it was never written.
    QVariant value(QAnyStringView key) const;
    bool boolValue(QAnyStringView key) const { return value(key).toBool(); }
    int integerValue(QAnyStringView key) const { return value(key).toInt(); }
    QString stringValue(QAnyStringView key) const { return value(key).toString(); }
    // A stored value that is not a list of texts (a bare text is not one)
    // reads as the key's default.
    QStringList stringListValue(QAnyStringView key) const;

    // Written to the file at once. A value that could not be written is
    // kept in memory, and sync() reports the failure.
    void setValue(QAnyStringView key, const QVariant& value);
    void remove(QAnyStringView key);
    // For values computed from stored ones, such as a list to append to:
    // `change` gets every value as the file holds it now, under the file's
    // lock, edits them and returns whether it changed anything. False when
    // the change could not be written; it is then made in memory only.
    bool modify(const std::function<bool(QVariantMap& values)>& change);

    // From now on a write waits for the file's lock until `deadline` at most
    // (and never longer than usual), then fails like any write that could
    // not be made: quitting stays within its bound while another program
    // keeps the file locked.
    void setWriteDeadline(QDeadlineTimer deadline) { m_writeDeadline = deadline; }

    // Whether every write since the last sync() reached the file.
    bool sync();
    QString fileName() const;

    // Reads the file again; emits reloaded() when values changed.
    void reload();

signals:
    // Another process changed the file, and these keys now read differently.
    void reloaded(const QStringList& changedKeys);

private:
    bool load();

    SharedFile* m_file;
    QVariantMap m_values;
    bool m_writeFailed = false;
    QDeadlineTimer m_writeDeadline{QDeadlineTimer::Forever};
};
