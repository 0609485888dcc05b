// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QFileSystemWatcher;

// A file that several processes change: the application and veltranectl.
// Every change is a read-modify-write under an advisory lock on
// "<file>.lock" beside it, so no writer works from a copy that another has
// replaced since, and the file is replaced atomically, never left
// half-written, nor ever written through a link. Watching tells when someone else's write has
// landed.
class SharedFile final : public QObject {
    Q_OBJECT

public:
    struct Contents {
        bool exists = false;
        QByteArray bytes;
        // Why a file that exists could not be read; empty otherwise.
        QString error;
        // Over kMaxSize: not read, so `bytes` is empty. Readers take it as
        // a file they cannot decode.
        bool tooLarge = false;

        bool operator==(const Contents&) const = default;
    };

    // tooLarge: the replacement is larger than kMaxSize, so nothing was
    // written: a file no reader would read again is worse than no change.
    enum class Update { written, unchanged, failed, tooLarge };
    // Given the file as it is now, the bytes to replace it with, or nothing
    // to leave it as it is. Runs under the lock.
    using Edit = std::function<std::optional<QByteArray>(const Contents& current)>;

    // The settings and profiles take kilobytes; a file far larger is not
    // one of ours, and parsing it would cost seconds and hundreds of MiB.
    // It bounds what is read and what is written alike.
    static constexpr qint64 kMaxSize = 16 << 20;
    static constexpr const char* kMaxSizeText = "16 MiB";
    static constexpr const char* kTooLargeText = "larger than 16 MiB, not read";

    explicit SharedFile(QString path, QObject* parent = nullptr);
    ~SharedFile() override;

    const QString& path() const { return m_path; }

    // Needs no lock: a replacement is atomic, so any read sees a whole file.
    Contents read();
    // Other writers hold the lock for one read and one write; one that keeps
    // it longer than this has hung.
    static constexpr std::chrono::milliseconds usualLockWait{10'000};
    // Creates the folder when it is missing. `error` tells why it failed;
    // another writer keeping the lock longer than `lockWait` is a failure.
    Update update(const Edit& edit, QString* error = nullptr,
                  std::chrono::milliseconds lockWait = usualLockWait);

    // From now on changed() is emitted shortly after a burst of writes by
    // others. Needs an event loop.
    void watch();

signals:
    // The contents differ from what this object last read or wrote.
    void changed();

private:
    void settle();
    void rewatchFile();

    QString m_path;
    std::optional<Contents> m_known;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_settling;
};
