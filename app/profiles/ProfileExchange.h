// SPDX-License-Identifier: MIT
#pragma once

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

// Replaces `path` atomically, never through a planted link.
bool write(const QString& path, const QList<ThrottleProfile>& profiles, QString* error);

// "Imported 3 profiles: A, B, C Copy".
QString importSummary(const QList<ThrottleProfile>& added);
// "Exported 2 profiles to FILE".
QString exportSummary(qsizetype count, const QString& path);

} // namespace ProfileExchange
