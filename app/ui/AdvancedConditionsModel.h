// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"
#include "ProfileFormData.h"

#include <QAbstractListModel>
#include <QList>

#include <functional>

// The rows of the profile editor's Advanced section: the conditions typed as
// numbers without a switch, each with its label, hint, unit, text and
// message, in the order of the conditions.
// Not final: QML wraps registered types that it could construct.
class AdvancedConditionsModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // The condition's stored key, which also names its row for tests.
        KeyRole = Qt::UserRole + 1,
        TitleRole,
        HintRole,
        SuffixRole,
        TextRole,
        MessageRole,
    };

    explicit AdvancedConditionsModel(QObject* parent = nullptr);

    // Takes the form's texts and the messages under each row, changing only
    // the rows that differ, so a field being typed in keeps its focus.
    void update(const ProfileFormData& form, const std::function<QString(Condition)>& messageOf);
    Condition conditionAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    struct Row {
        const NetworkConditions::Field* field;
        QString text;
        QString message;
    };
    QList<Row> m_rows;
};
