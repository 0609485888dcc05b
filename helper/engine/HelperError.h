// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

// The helper's error: a kind and a message. what() is the user-facing
// description, the text that travels back to the client.
class HelperError final : public std::runtime_error {
public:
    enum class Kind { validationFailed, commandFailed, fileError, cleanupIncomplete };

    static HelperError validationFailed(std::string message) {
        return HelperError(Kind::validationFailed, std::move(message));
    }
    static HelperError commandFailed(std::string message) {
        return HelperError(Kind::commandFailed, std::move(message));
    }
    static HelperError fileError(std::string message) {
        return HelperError(Kind::fileError, std::move(message));
    }
    // Some shaping could not be removed; it stays on record for the next try.
    static HelperError cleanupIncomplete(std::string detail) {
        return HelperError(Kind::cleanupIncomplete, std::move(detail));
    }

    Kind kind() const { return m_kind; }
    const std::string& message() const { return m_message; }

private:
    HelperError(Kind kind, std::string message)
        : std::runtime_error(prefix(kind) + message)
        , m_kind(kind)
        , m_message(std::move(message)) {}

    static std::string prefix(Kind kind) {
        switch (kind) {
        case Kind::validationFailed:
            return "Validation failed: ";
        case Kind::commandFailed:
            return "Command failed: ";
        case Kind::fileError:
            return "File error: ";
        case Kind::cleanupIncomplete:
            return "Could not remove all shaping: ";
        }
        return {};
    }

    Kind m_kind;
    std::string m_message;
};
