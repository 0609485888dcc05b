// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QTextStream>

// The updater's console lines go where the application's others go.
inline void logUpdateLine(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}
