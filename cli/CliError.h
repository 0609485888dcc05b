// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// Ends a command: every message goes to standard error, one per line, and
// the program exits with the status.
struct CliError {
    // Bad usage, input that failed validation, a question only --yes answers.
    static constexpr int usageStatus = 2;
    // Anything else: a missing profile, a file that could not be written.
    static constexpr int failureStatus = 1;

    int exitStatus = failureStatus;
    QStringList messages;

    static CliError usage(QStringList messages) { return {usageStatus, std::move(messages)}; }
    static CliError failure(const QString& reason) { return {failureStatus, {reason}}; }
};
