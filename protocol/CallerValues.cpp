// SPDX-License-Identifier: MIT
#include "CallerValues.h"

#include <QByteArrayView>
#include <QMetaType>

#include <utility>

namespace CallerValues {

QString shown(const QString& text) {
    constexpr qsizetype kLongest = 64;
    QString line = text.left(kLongest);
    for (QChar& c : line) {
        if (!c.isPrint()) {
            c = u'?';
        }
    }
    return text.size() > kLongest ? line + QStringLiteral("…") : line;
}

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

} // namespace CallerValues
