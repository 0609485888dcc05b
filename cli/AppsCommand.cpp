// SPDX-License-Identifier: MIT
#include "CliError.h"
#include "DesktopEntries.h"
#include "ProcessCgroups.h"
#include "RunningApplications.h"
#include "SystemdUserUnits.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

constexpr QLatin1StringView appsJsonOption{"json"};
// The user manager answers in milliseconds; each of its calls has its own
// bound, this one the whole list.
constexpr int kListTimeoutMs = 5000;

QJsonObject recordOf(const RunningApplication& application) {
    QJsonArray scopes;
    for (const ApplicationScope& scope : application.scopes) {
        QJsonArray pids;
        for (const qint64 pid : scope.pids) {
            pids << pid;
        }
        scopes << QJsonObject{{"unit", scope.unit}, {"cgroup", scope.cgroup}, {"pids", pids}};
    }
    return {{"id", application.desktopId},
            {"name", application.name},
            {"icon", application.iconName},
            {"scopes", scopes}};
}

QString pidsOf(const RunningApplication& application) {
    QStringList pids;
    for (const ApplicationScope& scope : application.scopes) {
        for (const qint64 pid : scope.pids) {
            pids << QString::number(pid);
        }
    }
    return pids.join(u' ');
}

void runApps(CommandContext& context, const QCommandLineParser& parser) {
    SystemdUserUnits units(QDBusConnection::sessionBus());
    RunningApplications running(units, DesktopEntries::fromEnvironment(), ProcessCgroups());
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&running, &RunningApplications::changed, &loop, [&] {
        if (running.isLoaded() || !running.errorText().isEmpty()) {
            loop.quit();
        }
    });
    running.start();
    timeout.start(kListTimeoutMs);
    if (!running.isLoaded() && running.errorText().isEmpty()) {
        loop.exec();
    }
    // Read before the stop, which forgets them.
    const QString failure = running.errorText();
    const bool loaded = running.isLoaded();
    const QList<RunningApplication> applications = running.applications();
    const bool sharesSessionScope = running.sharesSessionScope();
    running.stop();
    if (!failure.isEmpty() || !loaded) {
        throw CliError::failure(
            QStringLiteral("Cannot list the running applications: %1")
                .arg(failure.isEmpty()
                         ? QStringLiteral("systemd's user manager did not answer within 5 s")
                         : failure));
    }
    if (parser.isSet(QString(appsJsonOption))) {
        QJsonArray records;
        for (const RunningApplication& application : applications) {
            records << recordOf(application);
        }
        context.out << TerminalText::json(
            QJsonDocument(
                QJsonObject{{"applications", records}, {"sharesSessionScope", sharesSessionScope}}),
            QJsonDocument::Indented);
        return;
    }
    if (sharesSessionScope) {
        context.out << "This desktop runs every application in the login session's scope: none "
                       "can be throttled alone. Start one throttled instead: veltranectl run "
                       "--only PROFILE -- COMMAND\n";
        return;
    }
    if (applications.isEmpty()) {
        context.out << "No application runs in a scope of its own.\n";
        return;
    }
    for (const RunningApplication& application : applications) {
        context.out << TerminalText::line(application.desktopId) << "  "
                    << TerminalText::name(application.name) << "  " << application.scopes.size()
                    << (application.scopes.size() == 1 ? " scope" : " scopes") << ", pids "
                    << pidsOf(application) << '\n';
    }
}

} // namespace

Command appsCommand() {
    return {.name = QStringLiteral("apps"),
            .summary = QStringLiteral("List the running applications that can be throttled alone."),
            .details = QStringLiteral(
                "Each by its desktop id, which 'veltranectl apply PROFILE --app ID' takes, its "
                "name, and the scopes of your systemd user manager it runs in with their "
                "processes."),
            .options = {QCommandLineOption(QString(appsJsonOption),
                                           QStringLiteral("Print the list as JSON."))},
            .run = runApps};
}
