// SPDX-License-Identifier: MIT
#include "LaunchCommandLine.h"

#include "LaunchError.h"

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

LaunchError needsShell(QChar c) {
    return LaunchError(QStringLiteral("\u201c%1\u201d is a shell's, and the command runs without "
                                      "one: quote it, or run sh -c '\u2026'")
                           .arg(c));
}

} // namespace

namespace LaunchCommandLine {

QStringList arguments(const QString& line, const QString& home) {
    enum class Quote { none, single, dual };
    QStringList words;
    QString word;
    // Something was read into the word, if only ''.
    bool started = false;
    Quote quote = Quote::none;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const QChar next = i + 1 < line.size() ? line[i + 1] : QChar();
        if (quote == Quote::single) {
            if (c == u'\'') {
                quote = Quote::none;
            } else {
                word += c;
            }
        } else if (quote == Quote::dual) {
            if (c == u'"') {
                quote = Quote::none;
            } else if (c == u'\\' && !next.isNull() && QStringView(u"\"\\$`").contains(next)) {
                word += next;
                ++i;
            } else if (c == u'$' || c == u'`') {
                // A shell expands these even in double quotes.
                throw needsShell(c);
            } else {
                word += c;
            }
        } else if (isBlank(c)) {
            if (started) {
                words << word;
                word.clear();
                started = false;
            }
        } else if (c == u'~' && !started && (next.isNull() || next == u'/' || isBlank(next))) {
            word += home;
            started = true;
        } else {
            started = true;
            if (c == u'\'') {
                quote = Quote::single;
            } else if (c == u'"') {
                quote = Quote::dual;
            } else if (c == u'\\') {
                // One at the very end has nothing to keep: it stands for itself.
                word += next.isNull() ? c : next;
                i += next.isNull() ? 0 : 1;
            } else if (QStringView(u"|&;<>()$`").contains(c)) {
                throw needsShell(c);
            } else {
                word += c;
            }
        }
    }
    if (quote != Quote::none) {
        throw LaunchError(QStringLiteral("The command has a quote that is not closed"));
    }
    if (started) {
        words << word;
    }
    if (words.isEmpty()) {
        throw LaunchError(QStringLiteral("Type a command to run"));
    }
    return words;
}

} // namespace LaunchCommandLine
