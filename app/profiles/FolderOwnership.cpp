// SPDX-License-Identifier: MIT
#include "FolderOwnership.h"

#include "ProfileManager.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <vector>

namespace {

QString userName(uid_t uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return QString::fromLocal8Bit(found->pw_name);
    }
    return QStringLiteral("uid %1").arg(uid);
}

} // namespace

FolderOwnership::FolderOwnership(uid_t effectiveUser)
    : m_effectiveUser(effectiveUser) {}

std::optional<QString> FolderOwnership::refusal(const QString& folder) const {
    if (m_effectiveUser != 0 || folder.isEmpty()) {
        return std::nullopt;
    }
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    struct stat status {};
    while (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        const QString parent = QFileInfo(path).path();
        if (parent == path) {
            return std::nullopt;
        }
        path = parent;
    }
    if (status.st_uid == m_effectiveUser) {
        return std::nullopt;
    }
    const QString owner = userName(status.st_uid);
    return QStringLiteral("Not writing as root in '%1': it is owned by %2 (uid %3), not by root. "
                          "Run as %2, or as root with root's own environment (sudo -H, su -).")
        .arg(path, owner)
        .arg(status.st_uid);
}

std::optional<QString> FolderOwnership::refusalForStores() const {
    const QString dataDirectory = ProfileManager::defaultDataDirectory();
    for (const QString& folder :
         {QFileInfo(UserDefaults::standardFilePath()).path(),
          dataDirectory.isEmpty() ? QString() : dataDirectory + QStringLiteral("/Veltrane")}) {
        if (std::optional<QString> refused = refusal(folder)) {
            return refused;
        }
    }
    return std::nullopt;
}
