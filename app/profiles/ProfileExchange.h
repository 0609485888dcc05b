// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileManager.h"
#include "ThrottleProfile.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QString>

// The file that carries profiles from one machine to another:
// {"format": "veltrane-profiles", "version": 1, "profiles": [records]}, each
// record in the custom profiles file's own encoding, so keys a newer build
// wrote travel along. Shared by veltranectl and the profile list window, so
// both accept, refuse and describe the same files.
namespace ProfileExchange {

inline constexpr QLatin1StringView kFormat{"veltrane-profiles"};
inline constexpr int kVersion = 1;

// Built-in profiles travel as ordinary records: on another machine they
// arrive as profiles of the user's own.
QJsonDocument document(const QList<ThrottleProfile>& profiles);
QByteArray encode(const QList<ThrottleProfile>& profiles);

struct Decoded {
    // Every record, validated and made a custom profile; empty on error.
    QList<ThrottleProfile> profiles;
    // What is wrong with the document, naming the record; empty when read.
    QString error;
};

// Whole or not at all: one bad record refuses the document.
Decoded decode(const QByteArray& bytes);

// Reads `path` bounded as the store reads its own files: only a regular file
// (a pipe must not hang the reader) under 16 MiB. The error names the file.
Decoded read(const QString& path);

// What importing or exporting a file came to, in words for the user.
struct Outcome {
    enum class Status {
        done,
        // The file is not one to import: nothing added.
        badFile,
        // The store said no (a taken name with NameClash::refuse).
        refused,
        // A file could not be written.
        failed,
    };
    Status status = Status::done;
    // "Imported 3 profiles: A, B, C Copy", "Exported 2 profiles to FILE",
    // or what went wrong.
    QString message;

    bool ok() const { return status == Status::done; }
};

// The same for veltranectl and the profile list window. An export replaces
// `path` atomically, never through a planted link.
Outcome importFile(ProfileManager& store, const QString& path, ProfileManager::NameClash clash);
Outcome exportFile(const QList<ThrottleProfile>& profiles, const QString& path);

} // namespace ProfileExchange
