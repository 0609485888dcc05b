// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <QString>

// The folder where the installer keeps its own copy of a package: this
// user's (root's), closed to everyone else, in a parent nobody else may
// change, so no other user can swap either. Made when missing; a link, a
// file or another user's folder throws InstallRefusal.
class RootCacheFolder final {
public:
    explicit RootCacheFolder(const QString& path);

    int fd() const { return m_fd.get(); }
    const QString& path() const { return m_path; }

    // "the update folder PATH WHY", for the refusals about the folder.
    static QString refusal(const QString& path, const QString& why);

private:
    QString m_path;
    FileDescriptor m_fd;
};
