// SPDX-License-Identifier: MIT
#pragma once

#include "UserDefaults.h"

#include <QString>
#include <QUuid>

#include <optional>

// Remembers the selected profile and whether throttling was on at quit.
class StatePersistenceService final {
public:
    explicit StatePersistenceService(UserDefaults& defaults);

    // No id removes the stored one.
    void saveSelectedProfileID(const std::optional<QUuid>& id);
    // An absent selection leaves the stored id as it is.
    void saveQuitState(bool isEnabled, const std::optional<QUuid>& selectedProfileID);
    // The stored text, unchecked: the caller turns it into an id and looks it up.
    std::optional<QString> selectedProfileID() const;

private:
    UserDefaults& m_defaults;
};
