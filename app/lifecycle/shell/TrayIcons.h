// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QString>

// The tray's gauge symbols. The drawings use black ink with a white halo;
// on a dark panel the two swap, and the halo keeps the symbol readable when
// the desktop's palette does not match its panel (a dark bar over a light
// theme, say).
namespace TrayIcons {

QIcon icon(const QString& symbolName, bool darkPanel);
// The SVG text of a symbol as drawn for the panel.
QByteArray drawing(const QString& symbolName, bool darkPanel);
// Dark when the desktop's window colour is darker than its text, as the views decide.
bool desktopIsDark();

} // namespace TrayIcons
