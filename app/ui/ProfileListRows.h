// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
#include "ProfileScopeLabel.h"
#include "ThrottleProfile.h"

#include <QAbstractListModel>
#include <QList>

// The rows of one section of the profile list, with every text formatted.
// A change that keeps the same profiles in the same order updates the rows
// in place, so a flipped switch animates instead of being rebuilt.
// Not final: QML wraps registered types that it could construct.
class ProfileListRows : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    enum Role {
        ProfileIdRole = Qt::UserRole + 1,
        NameRole,
        ShowInMenuRole,
        // A list of {kind, symbol, value}.
        ChipsRole,
        ToggleLabelRole,
        // Empty for all traffic: "Only to api.example.com +1", "Only Slack".
        ScopeRole,
        // A profile for an application: its name and icon name; else empty.
        ApplicationNameRole,
        ApplicationIconRole,
    };

    // A profile for an application is named as `names` name it, by its
    // desktop id without them.
    explicit ProfileListRows(ApplicationNames* names, QObject* parent = nullptr);

    void setProfiles(QList<ThrottleProfile> profiles);
    const QList<ThrottleProfile>& profiles() const { return m_profiles; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    ApplicationNames* m_names;
    QList<ThrottleProfile> m_profiles;
    // Row by row, of the profiles above.
    QList<ProfileScopeLabel> m_scopes;
};
