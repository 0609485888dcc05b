// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileChange.h"
#include "ThrottleProfile.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class SharedFile;

// The user's own profiles in CustomProfiles.json, a file veltranectl
// shares. Every change is one read-modify-write of the file as it is now,
// under the file's lock, so no change of another process is undone. A
// record that claims to be built in is read as an editable profile; a file
// that cannot be read is kept aside before it is first written over.
class CustomProfilesFile final {
public:
    // One change of the profiles. What it answers is the answer of the whole
    // change; the file is written only when the answer is done and the list
    // differs. It may run twice: on the file's list, and again on the
    // caller's when the file could not be written.
    using Edit = std::function<ProfileChange(QList<ThrottleProfile>& profiles)>;

    // Without a path there is nowhere to keep the profiles: every change is
    // then made in memory only.
    explicit CustomProfilesFile(std::optional<QString> path);
    ~CustomProfilesFile();
    CustomProfilesFile(const CustomProfilesFile&) = delete;
    CustomProfilesFile& operator=(const CustomProfilesFile&) = delete;

    // The file itself, for following other processes' changes; none
    // without a path.
    SharedFile* sharedFile() const { return m_file.get(); }

    // The profiles as the file holds them now; none when it is missing or
    // cannot be read, which a diagnostic line reports.
    QList<ThrottleProfile> read();

    // `profiles` comes in as the caller knows the list and goes out as it
    // stands now: the file's, written or not, or, when the file cannot be
    // written, the caller's with the change made, kept in memory only. A
    // change that would make the file larger than can be read again is
    // refused, naming `subject` as what would do it.
    ProfileChange change(const Edit& edit, QList<ThrottleProfile>& profiles,
                         const QString& subject = QStringLiteral("The change"));

private:
    std::unique_ptr<SharedFile> m_file;
};
