// SPDX-License-Identifier: MIT
#include "CustomProfilesFile.h"

#include "Diagnostics.h"
#include "ProfileCopy.h"
#include "ProfileRecords.h"
#include "SharedFile.h"
#include "UnreadableFile.h"

#include <utility>

namespace {

std::optional<QList<ThrottleProfile>> decodeContents(const SharedFile::Contents& contents,
                                                     QString* error) {
    if (contents.tooLarge) {
        *error = QString::fromLatin1(SharedFile::kTooLargeText);
        return std::nullopt;
    }
    return ProfileRecords::decode(contents.bytes, error);
}

// A custom record that claims to be built-in cannot be one: it becomes an
// ordinary profile the user can edit, rather than being dropped.
QList<ThrottleProfile> repaired(QList<ThrottleProfile> records) {
    for (ThrottleProfile& profile : records) {
        if (profile.isBuiltIn()) {
            profile = ProfileCopy::editable(profile, profile.id(), profile.name);
        }
    }
    return records;
}

} // namespace

CustomProfilesFile::CustomProfilesFile(std::optional<QString> path) {
    if (path) {
        m_file = std::make_unique<SharedFile>(std::move(*path));
    }
}

CustomProfilesFile::~CustomProfilesFile() = default;

QList<ThrottleProfile> CustomProfilesFile::read() {
    if (!m_file) {
        return {};
    }
    const SharedFile::Contents contents = m_file->read();
    if (!contents.exists) {
        return {};
    }
    QString error = contents.error;
    std::optional<QList<ThrottleProfile>> records;
    if (error.isEmpty()) {
        records = decodeContents(contents, &error);
    }
    if (!records) {
        // Left as it is: the next change keeps a copy of it first.
        Diagnostics::write(QStringLiteral("Cannot read the custom profiles file %1: %2")
                               .arg(m_file->path(), error));
        return {};
    }
    return repaired(std::move(*records));
}

ProfileChange CustomProfilesFile::change(const Edit& edit, QList<ThrottleProfile>& profiles,
                                         const QString& subject) {
    const auto keptInMemory = [&](const QString& reason) {
        QList<ThrottleProfile> edited = profiles;
        ProfileChange change = edit(edited);
        if (!change.ok()) {
            return change;
        }
        Diagnostics::write(QStringLiteral("Failed to persist custom profiles: ") + reason);
        profiles = std::move(edited);
        return ProfileChange::failed(reason, std::move(change.profile));
    };
    if (!m_file) {
        return keptInMemory(QStringLiteral("there is no folder to keep them in"));
    }
    std::optional<ProfileChange> answer;
    QList<ThrottleProfile> stored;
    // The file's list before the edit: what stands after a refusal.
    QList<ThrottleProfile> before;
    QString error;
    const SharedFile::Update update = m_file->update(
        [&](const SharedFile::Contents& current) -> std::optional<QByteArray> {
            if (current.exists) {
                QString decodeError;
                std::optional<QList<ThrottleProfile>> records =
                    decodeContents(current, &decodeError);
                if (records) {
                    stored = repaired(std::move(*records));
                } else if (!UnreadableFile::keepCopy(m_file->path(),
                                                     QStringLiteral("custom profiles file"))) {
                    error = QStringLiteral("could not keep a copy of the unreadable file ") +
                            m_file->path();
                    return std::nullopt;
                }
            }
            before = stored;
            answer = edit(stored);
            if (!answer->ok() || stored == before) {
                return std::nullopt;
            }
            return ProfileRecords::encode(stored);
        },
        &error);
    if (update == SharedFile::Update::tooLarge) {
        // Kept nowhere: the store would keep trying to write it.
        profiles = std::move(before);
        return ProfileChange::refused(
            QStringLiteral("%1 would make the custom profiles file larger than %2")
                .arg(subject, QLatin1StringView(SharedFile::kMaxSizeText)));
    }
    if (update == SharedFile::Update::failed || !answer) {
        return keptInMemory(error);
    }
    // Written or not, this is the file as it is now.
    profiles = std::move(stored);
    return *answer;
}
