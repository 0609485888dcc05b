// SPDX-License-Identifier: MIT
#include "UnreadableFile.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

namespace UnreadableFile {

namespace {

bool keep(const QString& path, const QString& description, bool move) {
    const QString kept = keptName(path);
    const bool ok = move ? QFile::rename(path, kept) : QFile::copy(path, kept);
    if (ok) {
        QTextStream(stdout) << "Kept a copy of the unreadable " << description << " at " << kept
                            << Qt::endl;
    }
    return ok;
}

} // namespace

QString keptName(const QString& path) {
    const QString stem =
        path + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString name = stem;
    for (int attempt = 2; QFile::exists(name); ++attempt) {
        name = stem + u'-' + QString::number(attempt);
    }
    return name;
}

bool keepCopy(const QString& path, const QString& description) {
    return keep(path, description, false);
}

bool moveAside(const QString& path, const QString& description) {
    return keep(path, description, true);
}

} // namespace UnreadableFile
