// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringView>

// Text from the stores or the helper on its way to a terminal. A name may
// hold what a file written by hand or by an older version let in: control
// characters that steer the terminal, bidi overrides that turn the line
// around, zero-width characters that make two names look alike. They are
// shown as escapes instead.
namespace TerminalText {

// A name as one visible line: backslash, tab, line feed and carriage return
// as \\, \t, \n and \r, other hidden characters as \u202e or \U000e0001.
QString name(QStringView text);

// A message line: hidden characters escaped as above; backslashes, tabs and
// line feeds stay, so an escaped name inside reads the same.
QString line(QStringView text);

// The document as JSON in which hidden characters are \u escapes, as JSON
// allows for any character: a parser reads the same strings.
QByteArray json(const QJsonDocument& document, QJsonDocument::JsonFormat format);

} // namespace TerminalText
