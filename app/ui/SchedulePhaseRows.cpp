// SPDX-License-Identifier: MIT
#include "SchedulePhaseRows.h"

SchedulePhaseRows::SchedulePhaseRows(QObject* parent)
    : QAbstractListModel(parent) {}

void SchedulePhaseRows::update(const QList<Row>& rows) {
    if (rows.size() != m_rows.size()) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return;
    }
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows[row] != m_rows[row]) {
            m_rows[row] = rows[row];
            const QModelIndex changed = index(static_cast<int>(row));
            Q_EMIT dataChanged(changed, changed);
        }
    }
}

int SchedulePhaseRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant SchedulePhaseRows::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case LabelRole:
        return row.label;
    case NameRole:
        return row.name;
    case DurationRole:
        return row.duration;
    case ChoicesRole:
        return row.choices;
    case ChoiceIndexRole:
        return row.choiceIndex;
    case MessageRole:
        return row.message;
    case CanMoveUpRole:
        return row.canMoveUp;
    case CanMoveDownRole:
        return row.canMoveDown;
    default:
        return {};
    }
}

QHash<int, QByteArray> SchedulePhaseRows::roleNames() const {
    return {{LabelRole, "label"},
            {NameRole, "name"},
            {DurationRole, "duration"},
            {ChoicesRole, "choices"},
            {ChoiceIndexRole, "choiceIndex"},
            {MessageRole, "message"},
            {CanMoveUpRole, "canMoveUp"},
            {CanMoveDownRole, "canMoveDown"}};
}
