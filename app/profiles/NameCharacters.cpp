// SPDX-License-Identifier: MIT
#include "NameCharacters.h"

namespace NameCharacters {

QList<char32_t> codePoints(QStringView text) {
    QList<char32_t> result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result << QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        } else {
            result << c.unicode();
        }
    }
    return result;
}

bool isHidden(char32_t codePoint) {
    if (codePoint == u'\t' || codePoint == u'\n') {
        return false;
    }
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_Surrogate:
        return true;
    default:
        return false;
    }
}

QString codePointText(char32_t codePoint) {
    return QStringLiteral("U+%1").arg(static_cast<uint>(codePoint), 4, 16, QChar(u'0')).toUpper();
}

} // namespace NameCharacters
