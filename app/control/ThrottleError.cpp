// SPDX-License-Identifier: MIT
#include "ThrottleError.h"

ThrottleError::ThrottleError(Case errorCase, QString payload)
    : m_case(errorCase)
    , m_payload(std::move(payload)) {
    m_what = description().toStdString();
}

QString ThrottleError::description() const {
    switch (m_case) {
    case Case::helperCommunicationFailed:
        return QStringLiteral("Failed to communicate with helper: ") + m_payload;
    case Case::helperError:
        return QStringLiteral("Helper error: ") + m_payload;
    case Case::invalidProfile:
        return QStringLiteral("Invalid profile: ") + m_payload;
    case Case::interfaceNotFound:
        return QStringLiteral("Network interface '") + m_payload + QStringLiteral("' not found.");
    case Case::unknown:
        return QStringLiteral("An unknown error occurred: ") + m_payload;
    case Case::helperNotInstalled:
        return QStringLiteral(
            "The helper tool is not installed. Please install it to enable throttling.");
    case Case::authorizationDenied:
        return QStringLiteral("Authorization was denied. Please grant the required permissions.");
    }
    return {};
}
