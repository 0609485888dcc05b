// SPDX-License-Identifier: MIT
#include "ParameterDictionary.h"

#include <QDBusMetaType>

#include <algorithm>

namespace ParameterDictionary {

namespace {

// A caller's key as the message repeats it, for the log too: one short line
// of printable characters.
QString shown(const QString& key) {
    constexpr qsizetype kLongest = 64;
    QString text = key.left(kLongest);
    for (QChar& c : text) {
        if (!c.isPrint()) {
            c = u'?';
        }
    }
    return key.size() > kLongest ? text + QStringLiteral("…") : text;
}

QString busTypeOf(const QVariant& value) {
    const char* signature = QDBusMetaType::typeToSignature(value.metaType());
    return signature != nullptr ? QString::fromLatin1(signature)
                                : QString::fromLatin1(value.metaType().name());
}

} // namespace

std::optional<ThrottleParameters> fromWire(const QVariantMap& dictionary, QString& failure) {
    ThrottleParameters parameters;
    const auto fields = ThrottleParameters::fields();
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const auto field = std::find_if(fields.begin(), fields.end(), [&](const auto& candidate) {
            return entry.key() == QLatin1StringView(candidate.key);
        });
        if (field == fields.end()) {
            failure = QStringLiteral("Unknown parameter \"%1\"").arg(shown(entry.key()));
            return std::nullopt;
        }
        const QVariant& value = entry.value();
        if (field->integer != nullptr && value.typeId() == QMetaType::LongLong) {
            parameters.*field->integer = value.toLongLong();
        } else if (field->real != nullptr && value.typeId() == QMetaType::Double) {
            parameters.*field->real = value.toDouble();
        } else {
            failure = QStringLiteral("Parameter \"%1\" must be of type %2, not %3")
                          .arg(entry.key(),
                               field->integer != nullptr ? QStringLiteral("x (64-bit integer)")
                                                         : QStringLiteral("d (double)"),
                               busTypeOf(value));
            return std::nullopt;
        }
    }
    return parameters;
}

QVariantMap toWire(const ThrottleParameters& parameters) {
    QVariantMap dictionary;
    for (const auto& field : ThrottleParameters::fields()) {
        const QString key = QString::fromLatin1(field.key);
        if (field.integer != nullptr) {
            const std::int64_t value = parameters.*field.integer;
            if (value != 0 || field.original) {
                dictionary.insert(key, qlonglong(value));
            }
        } else {
            const double value = parameters.*field.real;
            if (value != 0.0 || field.original) {
                dictionary.insert(key, value);
            }
        }
    }
    return dictionary;
}

} // namespace ParameterDictionary
