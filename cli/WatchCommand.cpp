// SPDX-License-Identifier: MIT
#include "HelperStateText.h"
#include "SignalWatcher.h"
#include "TerminalText.h"
#include "ThrottleCommands.h"
#include "ThrottleControl.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>

#include <csignal>

namespace {

constexpr QLatin1StringView recordOption{"json"};

void runWatch(CommandContext& context, const QCommandLineParser& parser) {
    const bool json = parser.isSet(QString(recordOption));
    QEventLoop loop;
    // Before anything can arrive: an interrupted watch has done its job.
    const SignalWatcher stop({SIGINT, SIGTERM});
    QObject::connect(&stop, &SignalWatcher::received, &loop, &QEventLoop::quit);
    ThrottleControl control;
    QObject::connect(
        &control.connection, &HelperClient::helperStateChanged, &loop,
        [&context, json](const HelperState& state) {
            if (json) {
                context.out << TerminalText::json(QJsonDocument(HelperStateText::record(state)),
                                                  QJsonDocument::Compact);
            } else {
                context.out << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss "))
                            << HelperStateText::line(state);
            }
            // A line at a time, also into a pipe.
            context.out << Qt::endl;
        });
    control.connection.followState();
    loop.exec();
}

} // namespace

Command watchCommand() {
    return {.name = QStringLiteral("watch"),
            .summary = QStringLiteral("Print the helper's state, then a line each time it changes, "
                                      "until interrupted."),
            .details = QStringLiteral(
                "Each line shows whether throttling is on, its limits, who switched it on and "
                "whether that owner holds it, whoever makes the change: the application, "
                "veltranectl, or the helper removing held throttling whose owner has gone. "
                "SIGINT and SIGTERM end it with status 0."),
            .options = {QCommandLineOption(QString(recordOption),
                                           QStringLiteral("Print one JSON record per line."))},
            .run = runWatch,
            .writesStores = false};
}
