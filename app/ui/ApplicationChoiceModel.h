// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationListModel.h"
#include "DesktopEntries.h"

#include <QList>
#include <QString>
#include <QStringList>

// The editor's list of the installed applications, to choose the one a
// profile is for: searched by name or desktop id. The applications folders
// are read only while the list is shown, and again each time it is shown.
// An application chosen while it is not installed (any more) is a row too,
// under its desktop id, so that the profile keeps it.
class ApplicationChoiceModel final : public ApplicationListModel {
    Q_OBJECT
    // One line in place of the rows when there are none; empty beside rows.
    Q_PROPERTY(QString notice READ notice NOTIFY rowsChanged)
    // The chosen application's row; -1 while it is searched away or none is chosen.
    Q_PROPERTY(int chosenRow READ chosenRow NOTIFY rowsChanged)

public:
    enum { IsChosenRole = DetailRole + 1 };

    explicit ApplicationChoiceModel(DesktopEntries entries, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString notice() const;
    int chosenRow() const;

    // Shown, the installed applications are read unless they already were;
    // hidden, they are let go and the search starts over.
    void setShown(bool shown);
    // The form's application; empty for none.
    void setChosen(const QString& desktopId);

    // The user chose the application of `row`; nothing for a row not there.
    Q_INVOKABLE void choose(int row);

Q_SIGNALS:
    void rowsChanged();
    void chosen(const QString& desktopId);

private:
    struct Application {
        QString desktopId;
        QString name;
        QString iconName;
        bool isInstalled = true;

        bool operator==(const Application&) const = default;
    };

    int count() const override { return int(m_rows.size()); }
    ApplicationRow rowAt(int row) const override;
    void searchChanged() override { refill(); }
    void refill();

    DesktopEntries m_entries;
    bool m_shown = false;
    // Sorted by name, as the folders list them; only what a throttle can name.
    QList<Application> m_installed;
    // The chosen ids without an entry, first in the list while it is shown.
    QStringList m_missing;
    QString m_chosen;
    QList<Application> m_rows;
};
