// SPDX-License-Identifier: MIT
#include "ReleaseNotes.h"

#include <QSet>

namespace {

const QSet<QString> keptTags = {
    QStringLiteral("b"),  QStringLiteral("strong"), QStringLiteral("i"),  QStringLiteral("em"),
    QStringLiteral("u"),  QStringLiteral("s"),      QStringLiteral("p"),  QStringLiteral("br"),
    QStringLiteral("ul"), QStringLiteral("ol"),     QStringLiteral("li"), QStringLiteral("pre"),
    QStringLiteral("h1"), QStringLiteral("h2"),     QStringLiteral("h3"), QStringLiteral("h4"),
    QStringLiteral("h5"), QStringLiteral("h6"),
};

// Elements whose contents are not readable text.
const QSet<QString> droppedWithContents = {
    QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("head"),
    QStringLiteral("title"),    QStringLiteral("iframe"),   QStringLiteral("object"),
    QStringLiteral("noscript"), QStringLiteral("template"), QStringLiteral("svg"),
    QStringLiteral("math"),     QStringLiteral("textarea"), QStringLiteral("select"),
};

// The index just past the '>' that ends the tag starting at `from`, skipping
// quoted attribute values; -1 when the tag never ends.
qsizetype tagEnd(QStringView html, qsizetype from) {
    QChar quote;
    for (qsizetype index = from; index < html.size(); ++index) {
        const QChar c = html[index];
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            }
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return index + 1;
        }
    }
    return -1;
}

} // namespace

namespace ReleaseNotes {

QString fromHtml(QStringView html) {
    QString kept;
    QString droppingUntil;
    qsizetype index = 0;
    while (index < html.size()) {
        const QChar c = html[index];
        if (c != u'<') {
            if (droppingUntil.isEmpty()) {
                kept += c;
            }
            ++index;
            continue;
        }
        if (html.sliced(index).startsWith(u"<!--")) {
            const qsizetype close = html.indexOf(u"-->", index + 4);
            index = close < 0 ? html.size() : close + 3;
            continue;
        }
        qsizetype nameStart = index + 1;
        const bool closing = nameStart < html.size() && html[nameStart] == u'/';
        nameStart += closing ? 1 : 0;
        qsizetype nameEnd = nameStart;
        while (nameEnd < html.size() && html[nameEnd].isLetterOrNumber()) {
            ++nameEnd;
        }
        const bool declaration =
            nameStart < html.size() && (html[nameStart] == u'!' || html[nameStart] == u'?');
        if (nameEnd == nameStart && !declaration) {
            // A lone "<" in the text.
            if (droppingUntil.isEmpty()) {
                kept += QStringLiteral("&lt;");
            }
            ++index;
            continue;
        }
        const qsizetype end = tagEnd(html, nameEnd);
        if (end < 0) {
            break;
        }
        const QString name = html.sliced(nameStart, nameEnd - nameStart).toString().toLower();
        const bool selfClosing = html[end - 2] == u'/';
        index = end;
        if (!droppingUntil.isEmpty()) {
            if (closing && name == droppingUntil) {
                droppingUntil.clear();
            }
        } else if (droppedWithContents.contains(name)) {
            if (!closing && !selfClosing) {
                droppingUntil = name;
            }
        } else if (keptTags.contains(name)) {
            kept += closing ? QStringLiteral("</%1>").arg(name) : QStringLiteral("<%1>").arg(name);
        }
    }
    return kept.trimmed();
}

QString fromPlainText(QStringView text) {
    return text.trimmed().toString().toHtmlEscaped().replace(QLatin1Char('\n'),
                                                             QStringLiteral("<br>"));
}

} // namespace ReleaseNotes
