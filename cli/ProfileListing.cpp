// SPDX-License-Identifier: MIT
#include "ProfileListing.h"

#include "TerminalText.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cwchar>

namespace ProfileListing {

namespace {

using Row = std::array<QString, 4>;

Row rowOf(const ThrottleProfile& profile) {
    return {TerminalText::name(profile.name), profile.shortDescription(),
            profile.isBuiltIn() ? QStringLiteral("built-in") : QStringLiteral("custom"),
            profile.showInMenu ? QStringLiteral("shown") : QStringLiteral("hidden")};
}

// Columns on the terminal: wide characters take two, combining marks none.
qsizetype displayWidth(const QString& text) {
    qsizetype width = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        const int columns = ::wcwidth(static_cast<wchar_t>(codePoint));
        width += columns < 0 ? 1 : columns;
    }
    return width;
}

} // namespace

QString separatedByTabs(const QList<ThrottleProfile>& profiles) {
    QString text;
    for (const ThrottleProfile& profile : profiles) {
        const Row row = rowOf(profile);
        text += QStringList(row.begin(), row.end()).join(u'\t') + u'\n';
    }
    return text;
}

QString table(const QList<ThrottleProfile>& profiles) {
    QList<Row> rows{{QStringLiteral("NAME"), QStringLiteral("LIMITS"), QStringLiteral("TYPE"),
                     QStringLiteral("MENU")}};
    for (const ThrottleProfile& profile : profiles) {
        rows << rowOf(profile);
    }
    std::array<qsizetype, 4> widths{};
    for (const Row& row : rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], displayWidth(row[column]));
        }
    }
    QString text;
    for (const Row& row : rows) {
        QString line;
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += QString(widths[column] - displayWidth(row[column]) + 2, u' ');
            }
        }
        text += line + u'\n';
    }
    return text;
}

} // namespace ProfileListing
