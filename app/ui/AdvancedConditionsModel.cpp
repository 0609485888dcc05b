// SPDX-License-Identifier: MIT
#include "AdvancedConditionsModel.h"

AdvancedConditionsModel::AdvancedConditionsModel(QObject* parent)
    : QAbstractListModel(parent) {
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        if (field.advanced) {
            m_rows.append({&field, {}, {}});
        }
    }
}

void AdvancedConditionsModel::update(const ProfileFormData& form,
                                     const std::function<QString(Condition)>& messageOf) {
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        Row& current = m_rows[row];
        const Condition condition = current.field->condition;
        const QString text = form[condition].text;
        const QString message = messageOf(condition);
        if (text != current.text || message != current.message) {
            current.text = text;
            current.message = message;
            const QModelIndex changed = index(static_cast<int>(row));
            Q_EMIT dataChanged(changed, changed, {TextRole, MessageRole});
        }
    }
}

Condition AdvancedConditionsModel::conditionAt(int row) const {
    return m_rows.at(row).field->condition;
}

int AdvancedConditionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant AdvancedConditionsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case KeyRole:
        return QString(row.field->storedKey);
    case TitleRole:
        return QString::fromUtf8(row.field->title);
    case HintRole:
        return QString::fromUtf8(row.field->hint);
    case SuffixRole:
        return row.field->milliseconds != nullptr ? QStringLiteral("ms") : QStringLiteral("%");
    case TextRole:
        return row.text;
    case MessageRole:
        return row.message;
    default:
        return {};
    }
}

QHash<int, QByteArray> AdvancedConditionsModel::roleNames() const {
    return {{KeyRole, "key"},       {TitleRole, "title"}, {HintRole, "hint"},
            {SuffixRole, "suffix"}, {TextRole, "text"},   {MessageRole, "message"}};
}
