// SPDX-License-Identifier: MIT
#include "AutoDisableSettingsModel.h"

#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QList>
#include <QVariantMap>

namespace {

// The minutes of each duration choice, in the order of durationLabels.
const QList<int>& durationMinutes() {
    static const QList<int> minutes{5, 10, 15, 30, 60, 120};
    return minutes;
}

const QStringList& durationLabels() {
    static const QStringList labels{
        QStringLiteral("5 minutes"),  QStringLiteral("10 minutes"), QStringLiteral("15 minutes"),
        QStringLiteral("30 minutes"), QStringLiteral("1 hour"),     QStringLiteral("2 hours"),
    };
    return labels;
}

} // namespace

AutoDisableSettingsModel::AutoDisableSettingsModel(UserDefaults& defaults,
                                                   NotificationCenter& notifications,
                                                   QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_notifications(notifications) {}

bool AutoDisableSettingsModel::isEnabled() const {
    return m_defaults.boolValue(SettingsKeys::autoDisableEnabled);
}

void AutoDisableSettingsModel::setEnabled(bool enabled) {
    m_defaults.setValue(SettingsKeys::autoDisableEnabled, enabled);
    Q_EMIT changed();
    announce(enabled, m_defaults.integerValue(SettingsKeys::autoDisableMinutes));
}

QStringList AutoDisableSettingsModel::durationChoices() const {
    return durationLabels();
}

int AutoDisableSettingsModel::durationIndex() const {
    return static_cast<int>(
        durationMinutes().indexOf(m_defaults.integerValue(SettingsKeys::autoDisableMinutes)));
}

QString AutoDisableSettingsModel::durationText() const {
    const int index = durationIndex();
    // A duration stored by hand still reads as what it is.
    return index >= 0 ? durationLabels().at(index)
                      : QStringLiteral("%1 minutes")
                            .arg(m_defaults.integerValue(SettingsKeys::autoDisableMinutes));
}

void AutoDisableSettingsModel::selectDuration(int index) {
    if (index < 0 || index >= durationMinutes().size() || index == durationIndex()) {
        return;
    }
    const int minutes = durationMinutes().at(index);
    m_defaults.setValue(SettingsKeys::autoDisableMinutes, minutes);
    Q_EMIT changed();
    announce(isEnabled(), minutes);
}

void AutoDisableSettingsModel::announce(bool enabled, int minutes) {
    m_notifications.post(
        NotificationName::autoDisableSettingChanged,
        {{QStringLiteral("enabled"), enabled}, {QStringLiteral("minutes"), minutes}});
}
