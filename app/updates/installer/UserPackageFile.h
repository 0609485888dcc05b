// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <QString>

// The package file the user handed over, which anyone may have written:
// opened once, and everything after works on this descriptor, so renaming
// or replacing the path later changes nothing here. Only a regular file
// within the size bound is taken; anything else throws InstallRefusal.
class UserPackageFile final {
public:
    // `path` must be absolute.
    UserPackageFile(const QString& path, qint64 maxBytes);

    int fd() const { return m_fd.get(); }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    FileDescriptor m_fd;
};
