// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"
#include "HelperClient.h"
#include "ServiceRegistration.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class ComVeltraneHelperProtocolInterface;

struct HelperConnectionOptions {
    BusEndpoint bus;
    // A helper that does not answer must not hold a caller for ever; the bus
    // ends the call with its own error after this long.
    std::chrono::milliseconds replyTimeout{10'000};
    // Where diagnostic lines go: standard output, like the application's
    // other diagnostics. A command-line tool keeps them off its output.
    std::function<void(const QString&)> diagnostics = &printLine;

    static void printLine(const QString& line);
};

// The helper daemon over the bus: the generated proxy of its interface on a
// connection of our own. Interruption (the helper's name lost its owner) and
// invalidation (the bus connection lost) only clear isConnected; the next
// call after an invalidation opens a new connection by itself.
//
// A hold lives as long as the connection it was taken on, so a live
// connection is never replaced. When a lost one is, whatever it held is
// gone on the helper's side: connectionReplaced() tells the owner of this
// object (ThrottleService) to take it again explicitly, and followState()
// carries on over the new connection.
class HelperConnection final : public HelperClient {
    Q_OBJECT

public:
    using Options = HelperConnectionOptions;

    explicit HelperConnection(ServiceRegistration& registration, Options options = {},
                              QObject* parent = nullptr);
    ~HelperConnection() override;

    QCoro::Task<> installHelper() override;
    QCoro::Task<bool> getStatus() override;
    QCoro::Task<> enableThrottling(ThrottleParameters parameters) override;
    QCoro::Task<> disableThrottling() override;
    QCoro::Task<> takeThrottling(ThrottleParameters parameters, QString description,
                                 bool hold) override;
    QCoro::Task<> releaseThrottling() override;
    QCoro::Task<HelperState> readState() override;
    void followState() override;

private Q_SLOTS:
    void busLost();
    void stateSignalled(const QVariantMap& state, const QDBusMessage& message);

private:
    class Link;

    void checkConnectionStatus();
    // Keeps a live connection, or opens one (see openConnection).
    void connectIfNeeded();
    // Replaces the current connection. Throws helperCommunicationFailed when
    // the bus cannot be reached.
    void openConnection();
    // Once per connection, while following.
    void subscribe(Link& link);
    // The bus told of a new owner of the helper's name, or of none.
    void helperOwnerChanged(const QString& owner);
    // A reply came from `sender`, the helper's current process.
    void answeredBy(const QString& sender);
    // Asks for the state and publishes the answer.
    void refreshState();
    // Emits helperStateChanged unless `state` is older than, or the same as,
    // what was published last.
    void publish(const HelperState& state);
    void publishUnavailable();
    void reconnectLater(std::chrono::milliseconds pause);
    ComVeltraneHelperProtocolInterface& helperProxy();
    // Awaits a (success, message) reply; a bus error, or the connection
    // closing first, is a communication failure. Touches nothing of this
    // object after the reply, which may arrive after it is gone.
    static QCoro::Task<> awaitSuccess(QDBusPendingCall call, QObject& connectionLife,
                                      std::function<void(const QString&)> diagnostics);

    ServiceRegistration& m_registration;
    Options m_options;
    std::unique_ptr<Link> m_link;

    bool m_following = false;
    // The helper process's unique name, as the bus last told it; empty when
    // not known. Its state signals are the only ones taken.
    QString m_helperOwner;
    std::optional<HelperState> m_published;
    // Counts publications, so that a failed read can tell whether anything
    // newer came meanwhile.
    quint64 m_publications = 0;
    // A helper that left is started once more to clean up after itself;
    // not again until it has answered.
    bool m_revivalTried = false;
    // Tries left to reconnect after the bus connection was lost while following.
    int m_reconnectsLeft = 0;
};
