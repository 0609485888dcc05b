// SPDX-License-Identifier: MIT
#include "StatePersistenceService.h"

#include "SettingsKeys.h"
#include "ThrottleProfile.h"

StatePersistenceService::StatePersistenceService(UserDefaults& defaults)
    : m_defaults(defaults) {}

void StatePersistenceService::saveSelectedProfileID(const std::optional<QUuid>& id) {
    if (id) {
        m_defaults.setValue(SettingsKeys::selectedProfileID, ThrottleProfile::idText(*id));
    } else {
        m_defaults.remove(SettingsKeys::selectedProfileID);
    }
}

void StatePersistenceService::saveQuitState(bool isEnabled,
                                            const std::optional<QUuid>& selectedProfileID) {
    m_defaults.setValue(SettingsKeys::wasEnabledOnQuit, isEnabled);
    if (selectedProfileID) {
        saveSelectedProfileID(selectedProfileID);
    }
}

std::optional<QString> StatePersistenceService::selectedProfileID() const {
    if (!m_defaults.contains(SettingsKeys::selectedProfileID)) {
        return std::nullopt;
    }
    return m_defaults.stringValue(SettingsKeys::selectedProfileID);
}
