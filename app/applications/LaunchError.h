// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

// Why an application or a command could not be started, in words for the user.
class LaunchError final : public std::runtime_error {
public:
    explicit LaunchError(const QString& description)
        : std::runtime_error(description.toStdString())
        , m_description(description) {}
    const QString& description() const { return m_description; }

private:
    QString m_description;
};
