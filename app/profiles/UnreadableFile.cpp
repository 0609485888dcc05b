// SPDX-License-Identifier: MIT
#include "UnreadableFile.h"

#include "Diagnostics.h"

#include <QDateTime>
#include <QFile>

namespace UnreadableFile {

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
    const QString kept = keptName(path);
    if (!QFile::copy(path, kept)) {
        return false;
    }
    Diagnostics::write(QStringLiteral("Kept a copy of the unreadable ") + description +
                       QStringLiteral(" at ") + kept);
    return true;
}

} // namespace UnreadableFile
