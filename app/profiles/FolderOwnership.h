// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>
#include <sys/types.h>
#include <unistd.h>

// Root with a user's environment (sudo -E, su without -) would find the
// user's folders for settings and profiles, write files there that the user
// can no longer change, and follow links the user planted. A process whose
// effective user is root therefore writes only in folders that root owns,
// as version control refuses a repository of dubious ownership. Both the
// application and veltranectl ask here before touching a folder.
class FolderOwnership final {
public:
    explicit FolderOwnership(uid_t effectiveUser = ::geteuid());

    // Why this process must not write in `folder`, or nothing. A folder that
    // does not exist yet is judged by the nearest one above it that does
    // (it would be made there); a link by the link itself, whose owner
    // chose where it leads.
    std::optional<QString> refusal(const QString& folder) const;
    // The same for the folders of the settings and the custom profiles.
    std::optional<QString> refusalForStores() const;

private:
    uid_t m_effectiveUser;
};
