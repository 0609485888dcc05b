// SPDX-License-Identifier: MIT
#include "LaunchThrottledModel.h"

#include "ApplicationSearch.h"
#include "ThrottleError.h"
#include "ThrottledLaunch.h"

#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <iterator>

namespace {

// QCoro lets a task that nobody awaits run to its end and free itself.
void letRun(QCoro::Task<> task) {
    Q_UNUSED(task);
}

} // namespace

LaunchThrottledModel::LaunchThrottledModel(UserUnits& units, DesktopEntries entries,
                                           ProcessCgroups processes, LaunchThrottler throttler,
                                           QObject* parent)
    : ApplicationListModel(parent)
    , m_units(units)
    , m_entries(std::move(entries))
    , m_processes(std::move(processes))
    , m_throttler(std::move(throttler)) {}

ApplicationRow LaunchThrottledModel::rowAt(int row) const {
    const DesktopEntry& entry = m_rows.at(row);
    return {entry.id, entry.name, entry.icon, entry.id};
}

void LaunchThrottledModel::setCommandText(const QString& text) {
    if (text != m_commandText) {
        m_commandText = text;
        Q_EMIT commandTextChanged();
    }
}

void LaunchThrottledModel::setProfileName(const QString& name) {
    if (name != m_profileName) {
        m_profileName = name;
        Q_EMIT profileNameChanged();
    }
}

QString LaunchThrottledModel::profileText() const {
    return m_profileName.isEmpty() ? QString()
                                   : QStringLiteral("Throttled with %1").arg(m_profileName);
}

QString LaunchThrottledModel::notice() const {
    if (!m_isOpen || !m_rows.isEmpty()) {
        return {};
    }
    if (m_installed.isEmpty()) {
        return QStringLiteral("No installed application was found.");
    }
    return QStringLiteral("No installed application matches \u201c%1\u201d.")
        .arg(searchText().trimmed());
}

void LaunchThrottledModel::open() {
    m_installed = m_entries.installed();
    if (!m_isOpen) {
        m_isOpen = true;
        Q_EMIT openChanged();
    }
    refill();
}

void LaunchThrottledModel::close() {
    m_installed.clear();
    setSearchText(QString());
    setCommandText(QString());
    setErrorText(QString());
    if (m_isOpen) {
        m_isOpen = false;
        Q_EMIT openChanged();
    }
    refill();
}

void LaunchThrottledModel::launchApplication(int row) {
    if (!m_isLaunching && row >= 0 && row < m_rows.size()) {
        letRun(launch(m_rows.at(row), QString()));
    }
}

void LaunchThrottledModel::launchCommand() {
    if (!m_isLaunching) {
        letRun(launch(std::nullopt, m_commandText.trimmed()));
    }
}

QCoro::Task<> LaunchThrottledModel::launch(std::optional<DesktopEntry> entry, QString commandLine) {
    const QPointer<LaunchThrottledModel> alive(this);
    // Copied into this frame: a model destroyed while one runs must not
    // take the function away under it.
    const LaunchThrottler throttler = m_throttler;
    setErrorText(QString());
    setLaunching(true);
    // A child: a model destroyed mid-launch ends the held process unrun.
    auto* const held = new ThrottledLaunch(m_units, m_processes, this);
    QString name = entry ? entry->name : QString();
    QString cgroup;
    std::optional<QString> failure;
    try {
        if (entry) {
            cgroup = co_await held->prepare(*entry);
        } else {
            cgroup = co_await held->prepareCommand(commandLine);
        }
    } catch (const LaunchError& error) {
        failure = error.description();
    }
    if (!alive) {
        co_return;
    }
    if (!entry) {
        name = QFileInfo(held->program()).fileName();
    }

    quint64 throttle = 0;
    if (!failure) {
        try {
            if (entry) {
                throttle = co_await throttler.application(entry->id);
            } else {
                throttle = co_await throttler.command(cgroup, commandLine);
            }
        } catch (const ThrottleError& error) {
            failure = QStringLiteral("%1 was not started: %2").arg(name, error.description());
        }
        // Gone with the panel, as the application quits, which ends its own
        // throttles: the held process has ended with the model.
        if (!alive) {
            co_return;
        }
        if (failure) {
            held->cancel();
        }
    }

    if (!failure) {
        failure = held->release();
        if (failure) {
            std::optional<QString> notEnded;
            try {
                co_await throttler.end(throttle);
            } catch (const ThrottleError& error) {
                notEnded = error.description();
            }
            if (!alive) {
                co_return;
            }
            if (notEnded) {
                failure = QStringLiteral("%1. Its throttle could not be ended and is still on: %2")
                              .arg(*failure, *notEnded);
            }
        }
    }

    held->deleteLater();
    setLaunching(false);
    if (failure) {
        setErrorText(*failure);
        co_return;
    }
    close();
    Q_EMIT launched(name);
}

void LaunchThrottledModel::refill() {
    QList<DesktopEntry> rows;
    std::copy_if(m_installed.begin(), m_installed.end(), std::back_inserter(rows),
                 [this](const DesktopEntry& entry) {
                     return ApplicationSearch::matches(entry.name, entry.id, searchText());
                 });
    if (rows != m_rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    Q_EMIT listChanged();
}

void LaunchThrottledModel::setLaunching(bool launching) {
    if (launching != m_isLaunching) {
        m_isLaunching = launching;
        Q_EMIT launchingChanged();
    }
}

void LaunchThrottledModel::setErrorText(const QString& text) {
    if (text != m_errorText) {
        m_errorText = text;
        Q_EMIT errorTextChanged();
    }
}
