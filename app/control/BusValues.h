// SPDX-License-Identifier: MIT
#pragma once

#include <QVariant>
#include <QVariantMap>

// What QtDBus hands over of a reply: the containers inside a dictionary stay
// marshalled (QDBusArgument) and variants stay wrapped (QDBusVariant).
namespace BusValues {

// `value` with every container and variant inside it read: dictionaries
// as QVariantMap, arrays as QVariantList, basic values as themselves.
QVariant plain(const QVariant& value);

// As plain(), for a value that should be a dictionary; empty when it is not.
QVariantMap plainMap(const QVariant& value);

} // namespace BusValues
