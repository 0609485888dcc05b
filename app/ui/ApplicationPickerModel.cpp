// SPDX-License-Identifier: MIT
#include "ApplicationPickerModel.h"

ApplicationPickerModel::ApplicationPickerModel(RunningApplications& running, QObject* parent)
    : ApplicationListModel(parent)
    , m_running(running) {
    connect(&m_running, &RunningApplications::changed, this, &ApplicationPickerModel::refill);
}

ApplicationRow ApplicationPickerModel::rowAt(int row) const {
    const RunningApplication& application = m_rows.at(row);
    const qsizetype scopes = application.scopes.size();
    // A desktop starts a scope for each window it opens of its own.
    return {application.desktopId, application.name, application.iconName,
            scopes == 1
                ? application.desktopId
                : QStringLiteral("%1 · %2 instances").arg(application.desktopId).arg(scopes)};
}

bool ApplicationPickerModel::isLoading() const {
    return m_running.isStarted() && !m_running.isLoaded() && m_running.errorText().isEmpty();
}

QString ApplicationPickerModel::notice() const {
    if (!m_running.errorText().isEmpty()) {
        return m_running.errorText();
    }
    if (!m_running.isLoaded()) {
        return {};
    }
    if (m_running.sharesSessionScope()) {
        return QStringLiteral("This desktop runs every application in one session scope, so none "
                              "can be throttled alone. Launch one throttled instead.");
    }
    if (m_running.applications().isEmpty()) {
        return QStringLiteral("No application runs in a scope of its own.");
    }
    if (m_rows.isEmpty()) {
        return QStringLiteral("No running application matches \u201c%1\u201d.").arg(searchText());
    }
    return {};
}

void ApplicationPickerModel::open() {
    const bool wasOpen = isOpen();
    m_running.start();
    if (!wasOpen) {
        Q_EMIT openChanged();
    }
    refill();
}

void ApplicationPickerModel::close() {
    if (!isOpen()) {
        return;
    }
    m_running.stop();
    Q_EMIT openChanged();
    // Forgetting the search lists what is left: nothing.
    if (!searchText().isEmpty()) {
        setSearchText(QString());
    } else {
        refill();
    }
}

void ApplicationPickerModel::pick(int row) {
    if (row >= 0 && row < m_rows.size()) {
        // Copies: whoever hears it may close the list, which empties the rows.
        const RunningApplication application = m_rows.at(row);
        Q_EMIT picked(application.desktopId, application.name);
    }
}

void ApplicationPickerModel::refill() {
    QList<RunningApplication> rows = m_running.matching(searchText());
    if (rows != m_rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    Q_EMIT listChanged();
}
