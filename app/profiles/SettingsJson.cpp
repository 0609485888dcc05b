// SPDX-License-Identifier: MIT
#include "SettingsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <limits>

namespace SettingsJson {

namespace {

QVariant fromJson(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            map.insert(it.key(), fromJson(it.value()));
        }
        return map;
    }
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        QStringList strings;
        for (const QJsonValue element : array) {
            if (!element.isString()) {
                return array.toVariantList();
            }
            strings << element.toString();
        }
        return strings;
    }
    case QJsonValue::Double: {
        // Integers come back as integers, the width the value needs.
        QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong) {
            const qlonglong integer = number.toLongLong();
            if (integer >= std::numeric_limits<int>::min() &&
                integer <= std::numeric_limits<int>::max()) {
                return static_cast<int>(integer);
            }
        }
        return number;
    }
    default:
        return value.toVariant();
    }
}

QJsonValue toJson(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            object.insert(it.key(), toJson(it.value()));
        }
        return object;
    }
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& element : value.toList()) {
            array.append(toJson(element));
        }
        return array;
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}

} // namespace

std::optional<QVariantMap> decode(const QByteArray& bytes, QString* error) {
    QVariantMap values;
    if (bytes.trimmed().isEmpty()) {
        return values;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        if (error) {
            *error = parseError.error != QJsonParseError::NoError
                         ? parseError.errorString()
                         : QStringLiteral("not a JSON object");
        }
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        values.insert(it.key(), fromJson(it.value()));
    }
    return values;
}

QByteArray encode(const QVariantMap& values) {
    QJsonObject object;
    for (auto it = values.begin(); it != values.end(); ++it) {
        object.insert(it.key(), toJson(it.value()));
    }
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace SettingsJson
