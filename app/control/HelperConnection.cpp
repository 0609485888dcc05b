// SPDX-License-Identifier: MIT
#include "HelperConnection.h"

#include "HelperProtocol.h"
#include "HelperProtocolInterface.h"
#include "ParameterDictionary.h"
#include "ThrottleError.h"

#include <QCoro/QCoroSignal>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

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
    // Subscribed to the helper's state signals.
    bool following = false;
};

namespace {

QString helperName() {
    return QString::fromUtf8(HelperProtocol::kServiceName);
}

ThrottleError approvalError() {
    return ThrottleError::helperError(
        QStringLiteral("The helper is installed, but the system bus does not start it yet. Run "
                       "scripts/install-helper as root, or reinstall the Veltrane package."));
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

// A short pause before the helper that left is asked again, and before a
// lost bus is tried again: whatever ended them gets the moment to finish.
constexpr std::chrono::milliseconds kFirstPause{500};
// Tries left to reach the bus again while following, at doubling pauses:
// about fifteen seconds in all, then the next call tries.
constexpr int kReconnectTries = 5;

// Answers of the members added beside the nine: the helper tells its cases
// apart by name; anything else came from the bus, not the helper.
std::optional<ThrottleError> namedError(const QDBusMessage& reply) {
    namespace Error = HelperProtocol::Error;
    const QString name = reply.errorName();
    if (name == QLatin1StringView(Error::kNotAuthorized)) {
        return ThrottleError::authorizationDenied();
    }
    for (const char* answered :
         {Error::kInvalidArguments, Error::kFailed, Error::kTimedOut, Error::kNotHolder}) {
        if (name == QLatin1StringView(answered)) {
            return ThrottleError::helperError(reply.errorMessage());
        }
    }
    return std::nullopt;
}

void throwUnlessAnswered(const QDBusMessage& reply, QStringView signature,
                         const Diagnostics& diagnostics) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (std::optional<ThrottleError> answered = namedError(reply)) {
            throw *answered;
        }
        // The bus's error names the cause (no such service, no reply in
        // time, peer gone); the caller gets its text.
        const QDBusError error(reply);
        diagnostics(QStringLiteral("Helper proxy error: ") + error.name() + QStringLiteral(": ") +
                    error.message());
        throw ThrottleError::helperCommunicationFailed(error.message());
    }
    // Whatever answered does not speak the helper's interface.
    if (reply.signature() != signature) {
        throw ThrottleError::helperCommunicationFailed(
            QStringLiteral("Failed to get helper proxy"));
    }
}

void throwUnlessSucceeded(const QDBusMessage& reply, const Diagnostics& diagnostics) {
    throwUnlessAnswered(reply, u"bs", diagnostics);
}

// GetState's answer as this client sees it: it owns the throttling when
// its connection `self` is the owner.
HelperState decodedState(const QVariant& wire, const QString& self) {
    HelperState state = HelperState::fromWire(qdbus_cast<QVariantMap>(wire));
    if (state.owner) {
        state.owner->isThisClient = !self.isEmpty() && state.owner->busName == self;
    }
    return state;
}

} // namespace

HelperConnection::HelperConnection(ServiceRegistration& registration, Options options,
                                   QObject* parent)
    : HelperClient(parent)
    , m_registration(registration)
    , m_options(std::move(options)) {
    QMetaObject::invokeMethod(this, &HelperConnection::checkConnectionStatus, Qt::QueuedConnection);
}

HelperConnection::~HelperConnection() {
    // Reset before the members go: the link's end may report to this object.
    m_following = false;
    m_link.reset();
}

void HelperConnectionOptions::printLine(const QString& line) {
    QTextStream(stdout) << line << Qt::endl;
}

void HelperConnection::checkConnectionStatus() {
    setConnected(m_registration.daemonStatus() == ServiceStatus::enabled);
}

QCoro::Task<> HelperConnection::installHelper() {
    const ServiceStatus status = m_registration.daemonStatus();
    if (status == ServiceStatus::enabled) {
        connectIfNeeded();
        co_return;
    }
    if (status == ServiceStatus::requiresApproval) {
        throw approvalError();
    }
    const QPointer<HelperConnection> alive(this);
    const std::optional<RegistrationError> failure = co_await m_registration.registerDaemon();
    if (failure) {
        // Only the log reads this: the views say what to do from the status.
        throw ThrottleError::helperError(QStringLiteral("Could not register the helper (%1 %2): %3")
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
    connectIfNeeded();
}

void HelperConnection::connectIfNeeded() {
    if (m_link && m_link->connection.isConnected()) {
        setConnected(true);
        return;
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
    link->watcher = std::make_unique<QDBusServiceWatcher>(helperName(), link->connection,
                                                          QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(link->watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& owner) {
                         if (owner.isEmpty()) {
                             setConnected(false);
                         }
                         helperOwnerChanged(owner);
                     });
    // QtDBus 6.4 subscribes to bus signals only by slot signature.
    link->connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                             QStringLiteral("org.freedesktop.DBus.Local"),
                             QStringLiteral("Disconnected"), this, SLOT(busLost()));
    const bool replacesLostOne = m_link != nullptr;
    m_link = std::move(link);
    m_helperOwner.clear();
    setConnected(true);
    if (m_following) {
        subscribe(*m_link);
    }
    if (replacesLostOne) {
        Q_EMIT connectionReplaced();
    }
}

void HelperConnection::busLost() {
    // A connection already replaced can report its end late, after the new
    // one is up: only the current connection's end counts.
    if (m_link && m_link->connection.isConnected()) {
        return;
    }
    setConnected(false);
    if (m_following) {
        publishUnavailable();
        m_reconnectsLeft = kReconnectTries;
        reconnectLater(kFirstPause);
    }
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

QCoro::Task<> HelperConnection::enableThrottling(ThrottleParameters parameters) {
    if (parameters.needsNamedParameters()) {
        // The one method that carries them answers with named errors, not
        // with a flag and a text.
        const Diagnostics diagnostics = m_options.diagnostics;
        QDBusPendingCall call = helperProxy().EnableThrottlingWithParameters(
            ParameterDictionary::toWire(parameters), QString(), false);
        throwUnlessAnswered(co_await replyOf(std::move(call), *m_link->life), u"", diagnostics);
        co_return;
    }
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

QCoro::Task<> HelperConnection::takeThrottling(ThrottleParameters parameters, QString description,
                                               bool hold) {
    const Diagnostics diagnostics = m_options.diagnostics;
    // The five alone go the older way, which every helper since ownership
    // takes.
    QDBusPendingCall call =
        parameters.needsNamedParameters()
            ? helperProxy().EnableThrottlingWithParameters(ParameterDictionary::toWire(parameters),
                                                           description, hold)
            : helperProxy().EnableThrottlingAs(parameters.downloadBytesPerSecond,
                                               parameters.uploadBytesPerSecond,
                                               parameters.latencyMs, parameters.packetLossPercent,
                                               parameters.dnsDelayMs, description, hold);
    throwUnlessAnswered(co_await replyOf(std::move(call), *m_link->life), u"", diagnostics);
}

QCoro::Task<> HelperConnection::releaseThrottling() {
    const Diagnostics diagnostics = m_options.diagnostics;
    QDBusPendingCall call = helperProxy().ReleaseThrottling();
    throwUnlessAnswered(co_await replyOf(std::move(call), *m_link->life), u"", diagnostics);
}

QCoro::Task<HelperState> HelperConnection::readState() {
    const Diagnostics diagnostics = m_options.diagnostics;
    QDBusPendingCall call = helperProxy().GetState();
    const QString self = m_link->connection.baseService();
    // Gone when the connection is: then so may be this object.
    const QPointer<QObject> linkLife = m_link->life.get();
    const QDBusMessage reply = co_await replyOf(std::move(call), *m_link->life);
    throwUnlessAnswered(reply, u"a{sv}", diagnostics);
    const HelperState state = decodedState(reply.arguments().constFirst(), self);
    if (linkLife && m_following) {
        answeredBy(reply.service());
        publish(state);
    }
    co_return state;
}

void HelperConnection::followState() {
    if (m_following) {
        return;
    }
    m_following = true;
    try {
        // A connection opened here subscribes by itself.
        if (m_link && m_link->connection.isConnected()) {
            subscribe(*m_link);
        } else {
            openConnection();
        }
    } catch (const ThrottleError&) {
        publishUnavailable();
    }
}

void HelperConnection::subscribe(Link& link) {
    if (std::exchange(link.following, true)) {
        return;
    }
    // From any sender, filtered by the helper's unique name here: naming
    // the helper's well-known name would make QtDBus look its owner up with
    // a blocking call.
    link.connection.connect(QString(), QString::fromUtf8(HelperProtocol::kObjectPath),
                            QString::fromUtf8(HelperProtocol::kInterfaceName),
                            QStringLiteral("StateChanged"), this,
                            SLOT(stateSignalled(QVariantMap, QDBusMessage)));
    refreshState();
}

void HelperConnection::stateSignalled(const QVariantMap& state, const QDBusMessage& message) {
    if (!m_link || message.service() != m_helperOwner) {
        // Before the helper's name is known, a signal can be trusted only by
        // asking the helper itself.
        if (m_helperOwner.isEmpty()) {
            refreshState();
        }
        return;
    }
    publish(decodedState(state, m_link->connection.baseService()));
}

void HelperConnection::helperOwnerChanged(const QString& owner) {
    if (owner == m_helperOwner) {
        return;
    }
    m_helperOwner = owner;
    if (!m_following) {
        return;
    }
    // Another helper process counts its serials from the start again.
    m_published.reset();
    if (!owner.isEmpty()) {
        refreshState();
        return;
    }
    publishUnavailable();
    // Asking starts it again through the bus, and a helper that starts
    // restores or removes the throttling that was held; only once until it
    // has answered, so that a helper that cannot start is not started in a
    // loop.
    if (!std::exchange(m_revivalTried, true)) {
        QTimer::singleShot(kFirstPause, m_link->life.get(), [this] { refreshState(); });
    }
}

void HelperConnection::answeredBy(const QString& sender) {
    if (sender == m_helperOwner) {
        return;
    }
    // An answer before the bus told of an owner change (a connection of
    // its own knows none yet) names the helper too.
    if (!m_helperOwner.isEmpty()) {
        m_published.reset();
    }
    m_helperOwner = sender;
}

void HelperConnection::refreshState() {
    if (!m_link) {
        return;
    }
    const quint64 asked = m_publications;
    // A child of the connection's life: it goes, unanswered, with the connection.
    auto* watcher = new QDBusPendingCallWatcher(m_link->proxy->GetState(), m_link->life.get());
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, asked] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == u"a{sv}") {
            answeredBy(reply.service());
            publish(decodedState(reply.arguments().constFirst(), m_link->connection.baseService()));
        } else if (asked == m_publications) {
            publishUnavailable();
        }
    });
}

void HelperConnection::publish(const HelperState& state) {
    if (m_published && m_published->available == state.available &&
        (state.serial < m_published->serial || state == *m_published)) {
        return;
    }
    if (state.available) {
        m_revivalTried = false;
    }
    m_published = state;
    ++m_publications;
    Q_EMIT helperStateChanged(state);
}

void HelperConnection::publishUnavailable() {
    publish(HelperState{});
}

void HelperConnection::reconnectLater(std::chrono::milliseconds pause) {
    QTimer::singleShot(pause, this, [this, pause] {
        if (!m_following || (m_link && m_link->connection.isConnected())) {
            return;
        }
        try {
            openConnection();
        } catch (const ThrottleError&) {
            if (--m_reconnectsLeft > 0) {
                reconnectLater(pause * 2);
            }
        }
    });
}
