// SPDX-License-Identifier: MIT
#include "BusValues.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace BusValues {

QVariant plain(const QVariant& value) {
    if (value.typeId() == qMetaTypeId<QDBusVariant>()) {
        return plain(value.value<QDBusVariant>().variant());
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (QVariant& each : map) {
            each = plain(each);
        }
        return map;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant& each : list) {
            each = plain(each);
        }
        return list;
    }
    if (value.typeId() != qMetaTypeId<QDBusArgument>()) {
        return value;
    }
    const QDBusArgument argument = value.value<QDBusArgument>();
    switch (argument.currentType()) {
    case QDBusArgument::MapType: {
        QVariantMap map;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            const QVariant key = argument.asVariant();
            const QVariant entry = argument.asVariant();
            argument.endMapEntry();
            map.insert(key.toString(), plain(entry));
        }
        argument.endMap();
        return map;
    }
    case QDBusArgument::ArrayType: {
        QVariantList list;
        argument.beginArray();
        while (!argument.atEnd()) {
            list.append(plain(argument.asVariant()));
        }
        argument.endArray();
        return list;
    }
    default: {
        // A structure stays as it is: nothing the helper sends holds one.
        const QVariant read = argument.asVariant();
        return read.typeId() == qMetaTypeId<QDBusVariant>() ? plain(read) : read;
    }
    }
}

QVariantMap plainMap(const QVariant& value) {
    const QVariant read = plain(value);
    return read.typeId() == QMetaType::QVariantMap ? read.toMap() : QVariantMap();
}

} // namespace BusValues
