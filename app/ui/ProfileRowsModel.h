// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileScopeLabel.h"
#include "ThrottleProfile.h"

#include <QAbstractListModel>
#include <QList>

// The profile rows of the panel: one per profile, with the text it shows
// (the scope as its owner worded it) and whether it is the selected and the
// active one. Replacing the rows with the
// same profiles in the same order only updates them, so the views keep their
// delegates (and their hover state) while throttling changes.
class ProfileRowsModel : public QAbstractListModel {
    Q_OBJECT

public:
    struct Row {
        ThrottleProfile profile;
        bool isSelected = false;
        bool isActive = false;
        ProfileScopeLabel scope;

        bool operator==(const Row&) const = default;
    };

    enum Role {
        ProfileIdRole = Qt::UserRole + 1,
        NameRole,
        SummaryRole,
        ScopeRole,
        DescriptionRole,
        IsSelectedRole,
        IsActiveRole,
        IsEditableRole,
        // A profile for an application: its name and icon name; else empty.
        ApplicationNameRole,
        ApplicationIconRole,
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Row>& rows() const { return m_rows; }
    void setRows(QList<Row> rows);

private:
    QList<Row> m_rows;
};
