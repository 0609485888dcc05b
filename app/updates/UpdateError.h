// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

// Why a feed could not be used, in words that can be shown to the user.
class UpdateError final : public std::runtime_error {
public:
    explicit UpdateError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message) {}

    const QString& message() const { return m_message; }

private:
    QString m_message;
};
