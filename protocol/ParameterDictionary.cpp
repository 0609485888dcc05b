// SPDX-License-Identifier: MIT
#include "ParameterDictionary.h"

#include "CallerValues.h"

namespace ParameterDictionary {

using CallerValues::busTypeOf;
using CallerValues::shown;

std::optional<ThrottleParameters> fromWire(const QVariantMap& dictionary, QString& failure) {
    ThrottleParameters parameters;
    for (auto entry = dictionary.begin(); entry != dictionary.end(); ++entry) {
        const ThrottleParameters::Field* field =
            ThrottleParameters::field(entry.key().toStdString());
        if (field == nullptr) {
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

ThrottleParameters readWire(const QVariantMap& dictionary) {
    ThrottleParameters parameters;
    for (const auto& field : ThrottleParameters::fields()) {
        const QVariant value = dictionary.value(QString::fromLatin1(field.key));
        if (field.integer != nullptr && value.canConvert<qint64>()) {
            parameters.*field.integer = value.value<qint64>();
        } else if (field.real != nullptr && value.canConvert<double>()) {
            parameters.*field.real = value.value<double>();
        }
    }
    return parameters;
}

QVariantMap toWire(const ThrottleParameters& parameters) {
    QVariantMap dictionary;
    for (const auto& field : ThrottleParameters::fields()) {
        if (field.optional && !field.isSet(parameters)) {
            continue;
        }
        const QString key = QString::fromLatin1(field.key);
        if (field.integer != nullptr) {
            dictionary.insert(key, qlonglong(parameters.*field.integer));
        } else {
            dictionary.insert(key, parameters.*field.real);
        }
    }
    return dictionary;
}

} // namespace ParameterDictionary
