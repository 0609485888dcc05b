// SPDX-License-Identifier: MIT
#include "ApplicationNames.h"

ApplicationNames::Label ApplicationNames::labelOf(const QString& desktopId) {
    const auto known = m_labels.constFind(desktopId);
    if (known != m_labels.constEnd()) {
        return *known;
    }
    Label label{desktopId, QString()};
    if (const std::optional<DesktopEntry> entry = m_entries.find(desktopId)) {
        if (!entry->name.isEmpty()) {
            label.name = entry->name;
        }
        label.iconName = entry->icon;
    }
    m_labels.insert(desktopId, label);
    return label;
}
