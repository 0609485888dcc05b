// SPDX-License-Identifier: MIT
#include "Diagnostics.h"

#include <QTextStream>

#include <atomic>
#include <cstdio>

namespace Diagnostics {

namespace {

std::atomic<bool> toStandardError{false};

} // namespace

void write(const QString& line) {
    QTextStream(toStandardError ? stderr : stdout) << line << Qt::endl;
}

void sendToStandardError() {
    toStandardError = true;
}

} // namespace Diagnostics
