// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

// Release notes as the update window shows them: the small HTML subset of
// QML's styled text. Nothing in them may run or be fetched, so scripts,
// styles and embedded content go with their contents, and images, links and
// every attribute go too; the text of other markup stays.
namespace ReleaseNotes {

QString fromHtml(QStringView html);
// Escaped, keeping its line breaks.
QString fromPlainText(QStringView text);

} // namespace ReleaseNotes
