// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <string>

// The one error of everything that concerns throttling and the helper
// daemon. Its description is the only wording in which such a failure
// reaches the user.
class ThrottleError final : public std::exception {
public:
    // In declaration order; the last two carry no payload.
    enum class Case {
        helperCommunicationFailed,
        helperError,
        invalidProfile,
        interfaceNotFound,
        unknown,
        helperNotInstalled,
        authorizationDenied,
    };

    static ThrottleError helperCommunicationFailed(const QString& reason) {
        return {Case::helperCommunicationFailed, reason};
    }
    static ThrottleError helperError(const QString& message) {
        return {Case::helperError, message};
    }
    static ThrottleError invalidProfile(const QString& reason) {
        return {Case::invalidProfile, reason};
    }
    static ThrottleError interfaceNotFound(const QString& interfaceName) {
        return {Case::interfaceNotFound, interfaceName};
    }
    static ThrottleError unknown(const QString& description) {
        return {Case::unknown, description};
    }
    static ThrottleError helperNotInstalled() { return {Case::helperNotInstalled, {}}; }
    static ThrottleError authorizationDenied() { return {Case::authorizationDenied, {}}; }

    Case errorCase() const { return m_case; }
    const QString& payload() const { return m_payload; }
    QString description() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const ThrottleError& other) const {
        return m_case == other.m_case && m_payload == other.m_payload;
    }

private:
    ThrottleError(Case errorCase, QString payload);

    Case m_case;
    QString m_payload;
    std::string m_what;
};
