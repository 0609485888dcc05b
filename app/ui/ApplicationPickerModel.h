// SPDX-License-Identifier: MIT
#pragma once

#include "RunningApplications.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The panel's list of the user's running applications, to throttle one of
// them: searched by name or desktop id, and followed only while it is open,
// so that a closed panel asks the user's manager nothing.
class ApplicationPickerModel final : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY openChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY listChanged)
    // One line in place of the list: why there is none, or that this
    // desktop runs every application in one scope; empty beside rows.
    Q_PROPERTY(QString notice READ notice NOTIFY listChanged)
    // Launching one throttled is the way on this desktop.
    Q_PROPERTY(bool offersLaunch READ offersLaunch NOTIFY listChanged)

public:
    enum Role { DesktopIdRole = Qt::UserRole + 1, NameRole, IconNameRole, DetailRole };

    explicit ApplicationPickerModel(RunningApplications& running, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    bool isOpen() const { return m_running.isStarted(); }
    bool isLoading() const;
    QString notice() const;
    bool offersLaunch() const { return m_running.isLoaded() && m_running.sharesSessionScope(); }

    Q_INVOKABLE void open();
    Q_INVOKABLE void close();
    // Tells which application the row shows; nothing for a row not there.
    Q_INVOKABLE void pick(int row);

Q_SIGNALS:
    void searchTextChanged();
    void openChanged();
    void listChanged();
    void picked(const QString& desktopId, const QString& name);

private:
    void refill();

    RunningApplications& m_running;
    QString m_searchText;
    QList<RunningApplication> m_rows;
};
