// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// What a profile name may hold, and how to tell its characters apart.
namespace NameCharacters {

// In characters (code points), as a person counts them.
inline constexpr qsizetype kMaxLength = 100;

// The code points of `text`; a lone surrogate stands for itself.
QList<char32_t> codePoints(QStringView text);

// Characters that show nothing or change how their neighbours show: control
// characters (tab and line feed aside, which names may hold), format
// characters (bidi overrides, zero-width ones), unassigned code points and
// lone surrogates. "3\u200bG" would sit next to "3G" looking the same.
bool isHidden(char32_t codePoint);

// "U+202E"
QString codePointText(char32_t codePoint);

} // namespace NameCharacters
