// SPDX-License-Identifier: MIT
#include "ApplicationChoiceModel.h"

#include "ApplicationSearch.h"
#include "ThrottleScope.h"

#include <algorithm>

ApplicationChoiceModel::ApplicationChoiceModel(DesktopEntries entries, QObject* parent)
    : ApplicationListModel(parent)
    , m_entries(std::move(entries)) {}

ApplicationRow ApplicationChoiceModel::rowAt(int row) const {
    const Application& application = m_rows.at(row);
    // Two entries may share a name; their ids tell them apart.
    return {application.desktopId, application.name, application.iconName,
            application.isInstalled ? application.desktopId : QStringLiteral("Not installed")};
}

QVariant ApplicationChoiceModel::data(const QModelIndex& index, int role) const {
    if (role == IsChosenRole &&
        checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return m_rows.at(index.row()).desktopId == m_chosen;
    }
    return ApplicationListModel::data(index, role);
}

QHash<int, QByteArray> ApplicationChoiceModel::roleNames() const {
    QHash<int, QByteArray> names = ApplicationListModel::roleNames();
    names.insert(IsChosenRole, "isChosen");
    return names;
}

QString ApplicationChoiceModel::notice() const {
    if (!m_shown || !m_rows.isEmpty()) {
        return {};
    }
    if (m_installed.isEmpty()) {
        return QStringLiteral("No installed application was found.");
    }
    return QStringLiteral("No installed application matches \u201c%1\u201d.")
        .arg(searchText().trimmed());
}

int ApplicationChoiceModel::chosenRow() const {
    const auto chosen = std::find_if(m_rows.begin(), m_rows.end(), [this](const Application& row) {
        return row.desktopId == m_chosen;
    });
    return chosen == m_rows.end() ? -1 : int(chosen - m_rows.begin());
}

void ApplicationChoiceModel::setShown(bool shown) {
    if (shown == m_shown) {
        return;
    }
    m_shown = shown;
    m_installed.clear();
    m_missing.clear();
    if (m_shown) {
        for (const DesktopEntry& entry : m_entries.installed()) {
            // Offering an id that a throttle cannot name would make a
            // profile the store cannot read back.
            if (ThrottleScope::isApplicationId(entry.id.toStdString())) {
                m_installed.append(
                    {entry.id, entry.name.isEmpty() ? entry.id : entry.name, entry.icon, true});
            }
        }
    } else if (!searchText().isEmpty()) {
        // Refills, as a search does.
        setSearchText(QString());
        return;
    }
    refill();
}

void ApplicationChoiceModel::setChosen(const QString& desktopId) {
    if (desktopId == m_chosen) {
        return;
    }
    m_chosen = desktopId;
    refill();
}

void ApplicationChoiceModel::choose(int row) {
    if (row >= 0 && row < m_rows.size()) {
        Q_EMIT chosen(m_rows.at(row).desktopId);
    }
}

void ApplicationChoiceModel::refill() {
    QList<Application> all;
    if (m_shown) {
        const auto isInstalled = [this](const QString& desktopId) {
            return std::any_of(
                m_installed.begin(), m_installed.end(),
                [&desktopId](const Application& known) { return known.desktopId == desktopId; });
        };
        // Kept while the list is shown, so that choosing another and then
        // this one again is possible: nothing else names it.
        if (!m_chosen.isEmpty() && !isInstalled(m_chosen) && !m_missing.contains(m_chosen)) {
            m_missing.append(m_chosen);
        }
        for (const QString& desktopId : std::as_const(m_missing)) {
            all.append({desktopId, desktopId, QString(), false});
        }
        all << m_installed;
    }
    QList<Application> rows;
    for (const Application& application : std::as_const(all)) {
        if (ApplicationSearch::matches(application.name, application.desktopId, searchText())) {
            rows.append(application);
        }
    }
    if (rows != m_rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    } else if (!m_rows.isEmpty()) {
        // The same rows, another of them chosen.
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1), {IsChosenRole});
    }
    Q_EMIT rowsChanged();
}
