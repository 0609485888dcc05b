// SPDX-License-Identifier: MIT
#include "ParameterDictionary.h"

#include <QByteArrayView>
#include <QMetaType>

#include <utility>

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

// The bus's signature of what arrived, as QtDBus hands the values of a
// dictionary over, told without linking QtDBus: basic types as themselves,
// its own types by name, containers as the argument they stay.
QString busTypeOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QStringLiteral("b");
    case QMetaType::UChar:
        return QStringLiteral("y");
    case QMetaType::Short:
        return QStringLiteral("n");
    case QMetaType::UShort:
        return QStringLiteral("q");
    case QMetaType::Int:
        return QStringLiteral("i");
    case QMetaType::UInt:
        return QStringLiteral("u");
    case QMetaType::LongLong:
        return QStringLiteral("x");
    case QMetaType::ULongLong:
        return QStringLiteral("t");
    case QMetaType::Double:
        return QStringLiteral("d");
    case QMetaType::QString:
        return QStringLiteral("s");
    case QMetaType::QStringList:
        return QStringLiteral("as");
    case QMetaType::QByteArray:
        return QStringLiteral("ay");
    default:
        break;
    }
    const QByteArrayView name(value.metaType().name());
    for (const auto& [type, signature] :
         {std::pair{"QDBusObjectPath", "o"}, std::pair{"QDBusSignature", "g"},
          std::pair{"QDBusVariant", "v"}, std::pair{"QDBusUnixFileDescriptor", "h"}}) {
        if (name == type) {
            return QString::fromLatin1(signature);
        }
    }
    return QString::fromLatin1(value.metaType().name());
}

} // namespace

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
