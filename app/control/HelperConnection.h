// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"
#include "HelperClient.h"
#include "ServiceRegistration.h"

#include <QDBusPendingCall>

#include <chrono>
#include <functional>
#include <memory>

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
class HelperConnection final : public HelperClient {
    Q_OBJECT

public:
    using Options = HelperConnectionOptions;

    explicit HelperConnection(ServiceRegistration& registration, Options options = {},
                              QObject* parent = nullptr);
    ~HelperConnection() override;

    QCoro::Task<> installHelper() override;
    QCoro::Task<bool> getStatus() override;
    QCoro::Task<> enableThrottling(HelperParameters parameters) override;
    QCoro::Task<> disableThrottling() override;
    QCoro::Task<> takeThrottling(HelperParameters parameters, QString description,
                                 bool hold) override;
    QCoro::Task<> releaseThrottling() override;
    QCoro::Task<HelperState> readState() override;
    void followState() override;

private Q_SLOTS:
    void busLost();

private:
    class Link;

    void checkConnectionStatus();
    // Replaces the current connection. Throws helperCommunicationFailed when
    // the bus cannot be reached.
    void openConnection();
    ComVeltraneHelperProtocolInterface& helperProxy();
    // Awaits a (success, message) reply; a bus error, or the connection
    // closing first, is a communication failure. Touches nothing of this
    // object after the reply, which may arrive after it is gone.
    static QCoro::Task<> awaitSuccess(QDBusPendingCall call, QObject& connectionLife,
                                      std::function<void(const QString&)> diagnostics);

    ServiceRegistration& m_registration;
    Options m_options;
    std::unique_ptr<Link> m_link;
};
