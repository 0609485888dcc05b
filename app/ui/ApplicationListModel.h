// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QString>

// One application as a list of the views shows it.
struct ApplicationRow {
    QString desktopId;
    QString name;
    // Empty without one.
    QString iconName;
    // The line under the name.
    QString detail;
};

// A list of applications for the views, searched as the user types: rows of
// a desktop id, a name, an icon name and a detail. Each kind keeps its own
// applications and says how a row reads; this tells the views.
class ApplicationListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)

public:
    enum Role { DesktopIdRole = Qt::UserRole + 1, NameRole, IconNameRole, DetailRole };

    int rowCount(const QModelIndex& parent = {}) const final;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);

Q_SIGNALS:
    void searchTextChanged();

protected:
    using QAbstractListModel::QAbstractListModel;

    virtual int count() const = 0;
    // `row` is below count().
    virtual ApplicationRow rowAt(int row) const = 0;
    // The search text changed: the rows are to follow it.
    virtual void searchChanged() = 0;

private:
    QString m_searchText;
};
