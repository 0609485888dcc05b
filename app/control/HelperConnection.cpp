// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ThrottleError.h"

#include <QCoro/QCoroSignal>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QTextStream>

// One open connection: the bus connection, the proxy on it and the watcher
// of the helper's name. Replaced as a whole, so that nothing of an old
// connection can report on a new one.
class HelperConnection::Link final {
public:
    explicit Link(const BusEndpoint& bus)
        : name(BusEndpoint::uniqueConnectionName(QStringLiteral("veltrane-helper")))
        , connection(bus.open(name)) {}

    ~Link() {
        // Calls still waiting end first, with an error: QtDBus drops them
        // silently when their connection closes.
        life.reset();
        // What uses the connection goes before the connection.
        watcher.reset();
        proxy.reset();
        BusEndpoint::close(name);
    }

    QString name;
    QDBusConnection connection;
    // Its end ends the calls still waiting on this connection.
    std::unique_ptr<QObject> life = std::make_unique<QObject>();
    std::unique_ptr<ComVeltraneHelperProtocolInterface> proxy;
    std::unique_ptr<QDBusServiceWatcher> watcher;
};

namespace {

QString helperName() {
    return QString::fromUtf8(HelperProtocol::kServiceName);
}

ThrottleError approvalError() {
    return ThrottleError::helperError(QStringLiteral(
        "Helper requires approval. Please enable it in System Settings > Login Items."));
}

using Diagnostics = std::function<void(const QString&)>;

// The reply, or an error when the connection the call went out on closes
// first: nothing may wait for ever on a call that can no longer be answered.
QCoro::Task<QDBusMessage> replyOf(QDBusPendingCall call, QObject& connectionLife) {
    QDBusPendingCallWatcher watcher(call);
    if (!watcher.isFinished()) {
        const QMetaObject::Connection closing =
            QObject::connect(&connectionLife, &QObject::destroyed, &watcher,
                             [&watcher] { Q_EMIT watcher.finished(&watcher); });
        co_await qCoro(&watcher, &QDBusPendingCallWatcher::finished);
        QObject::disconnect(closing);
    }
    if (!watcher.isFinished()) {
        co_return QDBusMessage::createError(QDBusError::Disconnected,
                                            QStringLiteral("The connection was closed"));
    }
    co_return watcher.reply();
}

void throwUnlessSucceeded(const QDBusMessage& reply, const Diagnostics& diagnostics) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // The bus's error names the cause (no such service, no reply in
        // time, peer gone); the caller gets its text.
        const QDBusError error(reply);
        diagnostics(QStringLiteral("Helper proxy error: ") + error.name() + QStringLiteral(": ") +
                    error.message());
        throw ThrottleError::helperCommunicationFailed(error.message());
    }
    // Whatever answered does not speak the helper's interface.
    if (reply.signature() != u"bs") {
        throw ThrottleError::helperCommunicationFailed(
            QStringLiteral("Failed to get helper proxy"));
    }
}

} // namespace

HelperConnection::HelperConnection(ServiceRegistration& registration, Options options,
                                   QObject* parent)
    : HelperClient(parent)
    , m_registration(registration)
    , m_options(std::move(options)) {
    QMetaObject::invokeMethod(this, &HelperConnection::checkConnectionStatus, Qt::QueuedConnection);
}

HelperConnection::~HelperConnection() = default;

void HelperConnectionOptions::printLine(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

void HelperConnection::checkConnectionStatus() {
    setConnected(m_registration.daemonStatus() == ServiceStatus::enabled);
}

QCoro::Task<> HelperConnection::installHelper() {
    const ServiceStatus status = m_registration.daemonStatus();
    if (status == ServiceStatus::enabled) {
        openConnection();
        co_return;
    }
    if (status == ServiceStatus::requiresApproval) {
        throw approvalError();
    }
    const QPointer<HelperConnection> alive(this);
    const std::optional<RegistrationError> failure = co_await m_registration.registerDaemon();
    if (failure) {
        throw ThrottleError::helperError(
            QStringLiteral("Failed to register helper (status was %1): %2 %3 — %4")
                .arg(static_cast<int>(status))
                .arg(failure->domain)
                .arg(failure->code)
                .arg(failure->description));
    }
    if (!alive) {
        co_return;
    }
    if (m_registration.daemonStatus() != ServiceStatus::enabled) {
        throw approvalError();
    }
    openConnection();
}

void HelperConnection::openConnection() {
    auto link = std::make_unique<Link>(m_options.bus);
    if (!link->connection.isConnected()) {
        const QString reason = link->connection.lastError().message();
        throw ThrottleError::helperCommunicationFailed(
            reason.isEmpty() ? QStringLiteral("No connection available")
                             : QStringLiteral("No connection available: ") + reason);
    }
    link->proxy = std::make_unique<ComVeltraneHelperProtocolInterface>(
        helperName(), QString::fromUtf8(HelperProtocol::kObjectPath), link->connection);
    link->proxy->setTimeout(static_cast<int>(m_options.replyTimeout.count()));
    // The helper losing its name is an interruption: the next call starts it
    // again over the same connection.
    link->watcher = std::make_unique<QDBusServiceWatcher>(
        helperName(), link->connection, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(link->watcher.get(), &QDBusServiceWatcher::serviceUnregistered, this,
                     [this] { setConnected(false); });
    // QtDBus 6.4 subscribes to bus signals only by slot signature.
    link->connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                             QStringLiteral("org.freedesktop.DBus.Local"),
                             QStringLiteral("Disconnected"), this, SLOT(busLost()));
    m_link = std::move(link);
    setConnected(true);
}

void HelperConnection::busLost() {
    // A connection already replaced can report its end late, after the new
    // one is up: only the current connection's end counts.
    if (m_link && m_link->connection.isConnected()) {
        return;
    }
    setConnected(false);
}

ComVeltraneHelperProtocolInterface& HelperConnection::helperProxy() {
    // A lost bus connection carries no more messages: open a new one rather
    // than failing until someone reinstalls.
    if (!m_link || !m_link->connection.isConnected()) {
        openConnection();
    }
    return *m_link->proxy;
}

QCoro::Task<> HelperConnection::awaitSuccess(QDBusPendingCall call, QObject& connectionLife,
                                             Diagnostics diagnostics) {
    const QDBusMessage reply = co_await replyOf(std::move(call), connectionLife);
    throwUnlessSucceeded(reply, diagnostics);
    if (!reply.arguments().at(0).toBool()) {
        const QString message = reply.arguments().at(1).toString();
        throw ThrottleError::helperError(message.isEmpty() ? QStringLiteral("Unknown error")
                                                           : message);
    }
}

QCoro::Task<> HelperConnection::enableThrottling(HelperParameters parameters) {
    QDBusPendingCall call = helperProxy().EnableThrottling(
        parameters.downloadBytesPerSecond, parameters.uploadBytesPerSecond, parameters.latencyMs,
        parameters.packetLossPercent, parameters.dnsDelayMs);
    co_await awaitSuccess(std::move(call), *m_link->life, m_options.diagnostics);
}

QCoro::Task<> HelperConnection::disableThrottling() {
    QDBusPendingCall call = helperProxy().DisableThrottling();
    co_await awaitSuccess(std::move(call), *m_link->life, m_options.diagnostics);
}

QCoro::Task<bool> HelperConnection::getStatus() {
    // Copied first: the reply may arrive after this object is gone.
    const Diagnostics diagnostics = m_options.diagnostics;
    QDBusPendingCall call = helperProxy().GetStatus();
    const QDBusMessage reply = co_await replyOf(std::move(call), *m_link->life);
    throwUnlessSucceeded(reply, diagnostics);
    const QString message = reply.arguments().at(1).toString();
    if (!message.isEmpty()) {
        throw ThrottleError::helperError(message);
    }
    co_return reply.arguments().at(0).toBool();
}

QCoro::Task<> HelperConnection::takeThrottling(HelperParameters, QString, bool) {
    throw ThrottleError::helperError(QStringLiteral("Not yet implemented"));
    co_return;
}

QCoro::Task<> HelperConnection::releaseThrottling() {
    throw ThrottleError::helperError(QStringLiteral("Not yet implemented"));
    co_return;
}

QCoro::Task<HelperState> HelperConnection::readState() {
    throw ThrottleError::helperError(QStringLiteral("Not yet implemented"));
    co_return HelperState{};
}

void HelperConnection::followState() {}
