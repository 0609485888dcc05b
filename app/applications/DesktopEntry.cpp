// SPDX-License-Identifier: MIT
#include "DesktopEntry.h"

#include <QHash>
#include <QList>
#include <QStringList>

namespace {

// \s \n \t \r \\ undone; any other backslash stays as it is, for Exec's
// own quoting to read.
QString unescape(const QString& value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar next = i + 1 < value.size() ? value[i + 1] : QChar();
        if (value[i] != u'\\' || next.isNull()) {
            text += value[i];
            continue;
        }
        switch (next.unicode()) {
        case 's':
            text += u' ';
            break;
        case 'n':
            text += u'\n';
            break;
        case 't':
            text += u'\t';
            break;
        case 'r':
            text += u'\r';
            break;
        case '\\':
            text += u'\\';
            break;
        default:
            text += value[i];
            continue;
        }
        ++i;
    }
    return text;
}

// The Name[...] keys to try, best first: lang_COUNTRY@MODIFIER,
// lang_COUNTRY, lang@MODIFIER, lang.
QStringList localeKeys(QString locale) {
    QString modifier;
    if (const qsizetype at = locale.indexOf(u'@'); at >= 0) {
        modifier = locale.mid(at);
        locale.truncate(at);
    }
    if (const qsizetype dot = locale.indexOf(u'.'); dot >= 0) {
        locale.truncate(dot);
    }
    const qsizetype underscore = locale.indexOf(u'_');
    const QString language = locale.left(underscore);
    QStringList keys;
    if (underscore >= 0 && !modifier.isEmpty()) {
        keys << locale + modifier;
    }
    if (underscore >= 0) {
        keys << locale;
    }
    if (!modifier.isEmpty()) {
        keys << language + modifier;
    }
    if (!language.isEmpty()) {
        keys << language;
    }
    return keys;
}

} // namespace

DesktopEntry DesktopEntry::parse(const QByteArray& text, const QString& locale) {
    QHash<QString, QString> values;
    bool inEntryGroup = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inEntryGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inEntryGroup && equals > 0) {
            values.insert(line.left(equals).trimmed(), unescape(line.mid(equals + 1).trimmed()));
        }
    }

    DesktopEntry entry;
    entry.type = values.value(QStringLiteral("Type"));
    entry.name = values.value(QStringLiteral("Name"));
    for (const QString& key : localeKeys(locale)) {
        const auto localized = values.constFind(QStringLiteral("Name[%1]").arg(key));
        if (localized != values.constEnd()) {
            entry.name = *localized;
            break;
        }
    }
    entry.icon = values.value(QStringLiteral("Icon"));
    entry.exec = values.value(QStringLiteral("Exec"));
    entry.noDisplay = values.value(QStringLiteral("NoDisplay")) == QStringLiteral("true");
    entry.hidden = values.value(QStringLiteral("Hidden")) == QStringLiteral("true");
    return entry;
}
