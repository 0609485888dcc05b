// SPDX-License-Identifier: MIT
#include "JsonSettingsFormat.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <limits>

namespace JsonSettingsFormat {

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

bool readFile(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty()) {
        return true;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        map.insert(it.key(), fromJson(it.value()));
    }
    return true;
}

bool writeFile(QIODevice& device, const QSettings::SettingsMap& map) {
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it) {
        object.insert(it.key(), toJson(it.value()));
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    return device.write(bytes) == bytes.size();
}

} // namespace

QSettings::Format format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("json"), readFile, writeFile);
    return registered;
}

} // namespace JsonSettingsFormat
