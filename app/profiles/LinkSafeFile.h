// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// File access for the files of the user's folders that may be written as
// root (veltranectl under sudo -E): nothing is ever created or written
// through a link someone planted there, nothing is made to wait on a pipe,
// and nothing larger than a limit is read.
namespace LinkSafeFile {

struct Contents {
    enum class Status { missing, read, tooLarge, failed };
    Status status = Status::missing;
    QByteArray bytes;
    // Why the file could not be read; empty otherwise.
    QString error;
};

// Reads a regular file of at most maxSize bytes whole. A link is followed
// here: a user may keep the file elsewhere, and reading it changes nothing.
Contents read(const QString& path, qint64 maxSize);

// Replaces `path` whole: a new file made beside it (never through a link)
// is renamed over it, so the name never shows half a file. A regular file's
// permission bits carry over; a link is replaced by the new file, not
// written through; anything else at `path` (a folder, a pipe) is left and
// the write fails.
bool replace(const QString& path, const QByteArray& bytes, QString* error);

// Copies `source` to `destination`, which must not exist in any form, not
// even as a dangling link. False with `exists` set when it does.
bool copyToNew(const QString& source, const QString& destination, bool* exists, QString* error);

} // namespace LinkSafeFile
