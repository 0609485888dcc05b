// SPDX-License-Identifier: MIT
#include "ApplicationListModel.h"

int ApplicationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ApplicationListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const ApplicationRow row = rowAt(index.row());
    switch (role) {
    case DesktopIdRole:
        return row.desktopId;
    case NameRole:
        return row.name;
    case IconNameRole:
        return row.iconName;
    case DetailRole:
        return row.detail;
    default:
        return {};
    }
}

QHash<int, QByteArray> ApplicationListModel::roleNames() const {
    return {{DesktopIdRole, "desktopId"},
            {NameRole, "name"},
            {IconNameRole, "iconName"},
            {DetailRole, "detail"}};
}

void ApplicationListModel::setSearchText(const QString& text) {
    if (text == m_searchText) {
        return;
    }
    m_searchText = text;
    Q_EMIT searchTextChanged();
    searchChanged();
}
