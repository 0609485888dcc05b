// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <chrono>

// An advisory lock (flock) on a lock file, held from construction to
// destruction. Every process that changes a shared file takes the lock on
// the same lock file first; the lock file itself stays in place, because
// removing it would let two writers lock two different files of one name.
// The lock goes with the process, so a writer that crashes never leaves the
// file locked.
class FileLock final {
public:
    // Waits at most `timeout` for other holders; the file is created when missing.
    explicit FileLock(const QString& lockFilePath,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isLocked() const { return m_descriptor >= 0; }
    // Why the lock was not taken.
    const QString& errorString() const { return m_error; }

private:
    int m_descriptor = -1;
    QString m_error;
};
