// SPDX-License-Identifier: MIT
#include "UnreadableFile.h"

#include "Diagnostics.h"
#include "LinkSafeFile.h"

#include <QDateTime>
#include <QFileInfo>

namespace UnreadableFile {

QString keptName(const QString& path) {
    const QString stem =
        path + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString name = stem;
    // Exists as a link too, even one that leads nowhere.
    for (int attempt = 2; QFileInfo(name).exists() || QFileInfo(name).isSymLink(); ++attempt) {
        name = stem + u'-' + QString::number(attempt);
    }
    return name;
}

bool keepCopy(const QString& path, const QString& description) {
    // A name taken between the look and the copy (a link planted there, say)
    // is passed over: the copy is only ever a new file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString kept = keptName(path);
        bool exists = false;
        QString error;
        if (LinkSafeFile::copyToNew(path, kept, &exists, &error)) {
            Diagnostics::write(QStringLiteral("Kept a copy of the unreadable ") + description +
                               QStringLiteral(" at ") + kept);
            return true;
        }
        if (!exists) {
            Diagnostics::write(error);
            return false;
        }
    }
    return false;
}

} // namespace UnreadableFile
