// SPDX-License-Identifier: MIT
#include "DesktopExec.h"

namespace {

// One argument as it is being read.
struct Word {
    QString text;
    // Something was read into it, if only "" or a field code.
    bool started = false;
    // It had a quoted part: kept even when empty.
    bool quoted = false;
    // It was %i alone.
    bool isIcon = false;
};

void finish(Word& word, const DesktopEntry& entry, QStringList& arguments) {
    if (word.isIcon && word.text.isEmpty()) {
        if (!entry.icon.isEmpty()) {
            arguments << QStringLiteral("--icon") << entry.icon;
        }
    } else if (!word.text.isEmpty() || word.quoted) {
        // A word of nothing but field codes without a value is left out
        // whole, not passed as "".
        arguments << word.text;
    }
    word = Word();
}

} // namespace

namespace DesktopExec {

QStringList arguments(const DesktopEntry& entry) {
    const QString& line = entry.exec;
    QStringList arguments;
    Word word;
    bool inQuotes = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const QChar next = i + 1 < line.size() ? line[i + 1] : QChar();
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && QStringView(u"\"`$\\").contains(next) && !next.isNull()) {
                word.text += next;
                ++i;
            } else {
                word.text += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (word.started) {
                finish(word, entry, arguments);
            }
        } else if (c == u'"') {
            inQuotes = true;
            word.started = word.quoted = true;
        } else if (c == u'%' && !next.isNull()) {
            word.started = true;
            ++i;
            switch (next.unicode()) {
            case '%':
                word.text += u'%';
                break;
            case 'c':
                word.text += entry.name;
                break;
            case 'k':
                word.text += entry.path;
                break;
            case 'i': {
                const QChar after = i + 1 < line.size() ? line[i + 1] : QChar(u' ');
                word.isIcon =
                    word.text.isEmpty() && !word.quoted && (after == u' ' || after == u'\t');
                break;
            }
            // %f %F %u %U with no files, the deprecated %d %D %n %N %v %m,
            // and anything unknown: nothing.
            default:
                break;
            }
        } else {
            word.text += c;
            word.started = true;
        }
    }
    if (inQuotes) {
        return {};
    }
    if (word.started) {
        finish(word, entry, arguments);
    }
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        return {};
    }
    return arguments;
}

} // namespace DesktopExec
