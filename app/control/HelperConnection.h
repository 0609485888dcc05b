// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"
#include "HelperBusConnection.h"
#include "HelperClient.h"
#include "HelperInstaller.h"
#include "HelperReplyMapper.h"
#include "HelperStateFollower.h"
#include "ServiceRegistration.h"

#include <QString>

#include <chrono>
#include <functional>

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

// The helper daemon over the bus, as the application and veltranectl use
// it. Interruption (the helper's name lost its owner) and invalidation (the
// bus connection lost) only clear isConnected; the next call after an
// invalidation opens a new connection by itself.
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
    QCoro::Task<> disableThrottling() override;
    QCoro::Task<quint64> startThrottle(ThrottleParameters parameters, ThrottleScope scope,
                                       ThrottleSchedule schedule, QString description,
                                       bool hold) override;
    QCoro::Task<> endThrottle(quint64 id) override;
    QCoro::Task<> releaseThrottling() override;
    QCoro::Task<HelperState> readState() override;
    QCoro::Task<ShaperStatistics> readStatistics() override;
    void followState() override;

private:
    void checkConnectionStatus();
    // Keeps a live connection, or opens one.
    void connectIfNeeded();
    // Awaits the reply to a switch; touches nothing of this object after it.
    QCoro::Task<> outcomeOf(HelperCall call);

    HelperInstaller m_installer;
    HelperReplyMapper m_replies;
    HelperBusConnection m_busConnection;
    // After the connection: it follows over it.
    HelperStateFollower m_stateFollower;
};
