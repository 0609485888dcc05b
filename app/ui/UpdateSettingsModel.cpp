// SPDX-License-Identifier: MIT
#include "UpdateSettingsModel.h"

#include "SoftwareUpdater.h"

UpdateSettingsModel::UpdateSettingsModel(SoftwareUpdater& updater, QObject* parent)
    : QObject(parent)
    , m_updater(updater) {
    connect(&m_updater, &SoftwareUpdater::canCheckForUpdatesChanged, this,
            &UpdateSettingsModel::changed);
    connect(&m_updater, &SoftwareUpdater::automaticallyChecksForUpdatesChanged, this,
            &UpdateSettingsModel::changed);
}

bool UpdateSettingsModel::automaticallyChecks() const {
    return m_updater.automaticallyChecksForUpdates();
}

void UpdateSettingsModel::setAutomaticallyChecks(bool enabled) {
    m_updater.setAutomaticallyChecksForUpdates(enabled);
    Q_EMIT changed();
}

bool UpdateSettingsModel::canCheck() const {
    return m_updater.canCheckForUpdates();
}

void UpdateSettingsModel::checkNow() {
    if (m_updater.canCheckForUpdates()) {
        m_updater.checkForUpdates();
    }
}
