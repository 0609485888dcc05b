// SPDX-License-Identifier: MIT
#include "TerminalText.h"

#include "NameCharacters.h"

namespace TerminalText {

namespace {

QString hex(char32_t value, int digits) {
    return QStringLiteral("%1").arg(static_cast<uint>(value), digits, 16, QChar(u'0'));
}

// \u202e for the BMP, \U000e0001 beyond it.
QString escape(char32_t c) {
    return c <= 0xffff ? QStringLiteral("\\u") + hex(c, 4) : QStringLiteral("\\U") + hex(c, 8);
}

// JSON knows only \u with four digits: beyond the BMP, a surrogate pair.
QString jsonEscape(char32_t c) {
    if (c <= 0xffff) {
        return QStringLiteral("\\u") + hex(c, 4);
    }
    return QStringLiteral("\\u") + hex(QChar::highSurrogate(c), 4) + QStringLiteral("\\u") +
           hex(QChar::lowSurrogate(c), 4);
}

QString appendText(char32_t c) {
    return QString::fromUcs4(&c, 1);
}

} // namespace

QString name(QStringView text) {
    QString result;
    result.reserve(text.size());
    for (const char32_t c : NameCharacters::codePoints(text)) {
        switch (c) {
        case u'\\':
            result += QStringLiteral("\\\\");
            break;
        case u'\t':
            result += QStringLiteral("\\t");
            break;
        case u'\n':
            result += QStringLiteral("\\n");
            break;
        case u'\r':
            result += QStringLiteral("\\r");
            break;
        default:
            result += NameCharacters::isHidden(c) ? escape(c) : appendText(c);
        }
    }
    return result;
}

QString line(QStringView text) {
    QString result;
    result.reserve(text.size());
    for (const char32_t c : NameCharacters::codePoints(text)) {
        result += NameCharacters::isHidden(c) ? escape(c) : appendText(c);
    }
    return result;
}

QByteArray json(const QJsonDocument& document, QJsonDocument::JsonFormat format) {
    const QString text = QString::fromUtf8(document.toJson(format));
    QString result;
    result.reserve(text.size());
    // Hidden characters stand only inside strings here: JSON's own syntax
    // and white space are plain ASCII.
    for (const char32_t c : NameCharacters::codePoints(text)) {
        result += NameCharacters::isHidden(c) ? jsonEscape(c) : appendText(c);
    }
    return result.toUtf8();
}

} // namespace TerminalText
