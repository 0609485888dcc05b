// SPDX-License-Identifier: MIT
#include "ProfileRowsModel.h"

#include <algorithm>

int ProfileRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant ProfileRowsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case ProfileIdRole:
        return ThrottleProfile::idText(row.profile.id());
    case NameRole:
        return row.profile.name;
    case SummaryRole:
        return row.profile.conditionsDescription();
    case ScopeRole:
        // A line of its own, so that a long summary never hides it.
        return row.scope.line;
    case DescriptionRole:
        return ProfileScopeLabel::description(row.profile, row.scope);
    case IsSelectedRole:
        return row.isSelected;
    case IsActiveRole:
        return row.isActive;
    case IsEditableRole:
        return !row.profile.isBuiltIn();
    case ApplicationNameRole:
        return row.scope.applicationName;
    case ApplicationIconRole:
        return row.scope.iconName;
    default:
        return {};
    }
}

QHash<int, QByteArray> ProfileRowsModel::roleNames() const {
    return {{ProfileIdRole, "profileId"},
            {NameRole, "name"},
            {SummaryRole, "summary"},
            {ScopeRole, "scope"},
            {DescriptionRole, "description"},
            {IsSelectedRole, "isSelected"},
            {IsActiveRole, "isActive"},
            {IsEditableRole, "isEditable"},
            {ApplicationNameRole, "applicationName"},
            {ApplicationIconRole, "applicationIconName"}};
}

void ProfileRowsModel::setRows(QList<Row> rows) {
    const bool sameProfiles =
        std::equal(rows.begin(), rows.end(), m_rows.begin(), m_rows.end(),
                   [](const Row& a, const Row& b) { return a.profile.id() == b.profile.id(); });
    if (!sameProfiles) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows.at(i) != m_rows.at(i)) {
            m_rows[i] = rows.at(i);
            const QModelIndex changed = index(static_cast<int>(i));
            emit dataChanged(changed, changed);
        }
    }
}
