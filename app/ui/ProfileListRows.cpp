// SPDX-License-Identifier: MIT
#include "ProfileListRows.h"

#include "ProfileStatChips.h"

#include <QVariantMap>

#include <algorithm>

ProfileListRows::ProfileListRows(ApplicationNames* names, QObject* parent)
    : QAbstractListModel(parent)
    , m_names(names) {}

void ProfileListRows::setProfiles(QList<ThrottleProfile> profiles) {
    const bool sameRows = std::equal(
        profiles.begin(), profiles.end(), m_profiles.begin(), m_profiles.end(),
        [](const ThrottleProfile& a, const ThrottleProfile& b) { return a.id() == b.id(); });
    if (!sameRows) {
        const bool countChanges = profiles.size() != m_profiles.size();
        beginResetModel();
        m_profiles = std::move(profiles);
        m_scopes.clear();
        for (const ThrottleProfile& profile : std::as_const(m_profiles)) {
            m_scopes.append(ProfileScopeLabel::of(profile, m_names));
        }
        endResetModel();
        if (countChanges) {
            Q_EMIT countChanged();
        }
        return;
    }
    for (qsizetype row = 0; row < profiles.size(); ++row) {
        if (!(profiles[row] == m_profiles[row])) {
            m_profiles[row] = profiles[row];
            m_scopes[row] = ProfileScopeLabel::of(profiles[row], m_names);
            const QModelIndex changed = index(static_cast<int>(row));
            Q_EMIT dataChanged(changed, changed);
        }
    }
}

int ProfileListRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_profiles.size());
}

QVariant ProfileListRows::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const ThrottleProfile& profile = m_profiles.at(index.row());
    const ProfileScopeLabel& scope = m_scopes.at(index.row());
    switch (role) {
    case ProfileIdRole:
        return ThrottleProfile::idText(profile.id());
    case NameRole:
        return profile.name;
    case ShowInMenuRole:
        return profile.showInMenu;
    case ChipsRole: {
        QVariantList chips;
        for (const ProfileStatChip& chip : ProfileStatChips::of(profile)) {
            chips.append(QVariantMap{{QStringLiteral("kind"), chip.kind},
                                     {QStringLiteral("symbol"), chip.symbol},
                                     {QStringLiteral("value"), chip.value}});
        }
        return chips;
    }
    case ToggleLabelRole:
        return QStringLiteral("Show %1 in the panel").arg(profile.name);
    case ScopeRole:
        return scope.line;
    case ApplicationNameRole:
        return scope.applicationName;
    case ApplicationIconRole:
        return scope.iconName;
    default:
        return {};
    }
}

QHash<int, QByteArray> ProfileListRows::roleNames() const {
    return {{ProfileIdRole, "profileId"},
            {NameRole, "name"},
            {ShowInMenuRole, "showInMenu"},
            {ChipsRole, "chips"},
            {ToggleLabelRole, "toggleLabel"},
            {ScopeRole, "scope"},
            {ApplicationNameRole, "applicationName"},
            {ApplicationIconRole, "applicationIconName"}};
}
