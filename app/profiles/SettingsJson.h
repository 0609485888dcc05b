// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// The settings file: one JSON object, keys sorted, readable by people. Values
// keep their types: a Boolean reads back as a Boolean, an integer as an
// integer, an array of texts as a list of texts, an object as a map.
namespace SettingsJson {

// An empty file is an empty map; anything but a JSON object is unreadable
// and sets `error`.
std::optional<QVariantMap> decode(const QByteArray& bytes, QString* error = nullptr);
QByteArray encode(const QVariantMap& values);

} // namespace SettingsJson
