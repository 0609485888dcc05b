// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// The outcome of checking one field: a message exactly when the check failed.
struct ValidationResult {
    bool isValid = true;
    std::optional<QString> message;

    static ValidationResult valid() { return {}; }
    static ValidationResult failure(const QString& message) { return {false, message}; }

    bool operator==(const ValidationResult&) const = default;
};
