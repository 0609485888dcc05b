// SPDX-License-Identifier: MIT
#include "ProfileRecords.h"

#include "ProfileJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

namespace ProfileRecords {

std::optional<QList<ThrottleProfile>> decode(const QByteArray& bytes, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                              : QStringLiteral("not a JSON array");
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<ThrottleProfile> profiles;
    profiles.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        std::optional<ThrottleProfile> profile = ProfileJson::decode(array.at(i));
        if (!profile) {
            *error = QStringLiteral("record %1 is not a profile").arg(i + 1);
            return std::nullopt;
        }
        profiles.append(std::move(*profile));
    }
    return profiles;
}

QByteArray encode(const QList<ThrottleProfile>& profiles) {
    QJsonArray records;
    for (const ThrottleProfile& profile : profiles) {
        records.append(ProfileJson::encode(profile));
    }
    // QJsonObject keeps its keys sorted, so every record is written in key order.
    return QJsonDocument(records).toJson(QJsonDocument::Indented);
}

} // namespace ProfileRecords
