// SPDX-License-Identifier: MIT
#include "ExitCleanup.h"

#include "HelperProtocol.h"

#include <QDBusMessage>
#include <QLatin1StringView>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

ExitCleanup* armed = nullptr;

struct Outcome {
    std::mutex mutex;
    std::condition_variable finished;
    // Empty once the helper switched throttling off.
    std::optional<QString> failure;
};

// Runs on the worker thread: the main thread is inside exit().
QString endThrottles(const BusEndpoint& bus, const std::vector<quint64>& ids,
                     std::chrono::steady_clock::time_point deadline) {
    const QString name = BusEndpoint::uniqueConnectionName(QStringLiteral("veltrane-exit"));
    QDBusConnection connection = bus.open(name);
    if (!connection.isConnected()) {
        return QStringLiteral("Cannot reach the bus: ") + connection.lastError().message();
    }
    QString failure;
    for (const quint64 id : ids) {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(HelperProtocol::kServiceName),
            QString::fromLatin1(HelperProtocol::kObjectPath),
            QString::fromLatin1(HelperProtocol::kInterfaceName), QStringLiteral("EndThrottle"));
        call << QVariant::fromValue(qulonglong(id));
        const QDBusMessage reply = connection.call(
            call, QDBus::Block, static_cast<int>(std::max<qint64>(remaining.count(), 1)));
        // One that ended meanwhile is no failure.
        if (reply.type() != QDBusMessage::ReplyMessage && failure.isEmpty() &&
            reply.errorName() != QLatin1StringView(HelperProtocol::Error::kNoSuchThrottle)) {
            failure = reply.errorMessage();
        }
    }
    BusEndpoint::close(name);
    return failure;
}

} // namespace

ExitCleanup::ExitCleanup(Context context)
    : m_context(std::move(context)) {
    // Handlers run in the reverse order of registration, so this one runs
    // before anything registered earlier, such as QtDBus's own, is torn down.
    static const bool registered = std::atexit(&ExitCleanup::atExit) == 0;
    if (registered) {
        armed = this;
    }
}

ExitCleanup::~ExitCleanup() {
    disarm();
}

void ExitCleanup::disarm() {
    if (armed == this) {
        armed = nullptr;
    }
}

void ExitCleanup::atExit() {
    if (ExitCleanup* const cleanup = std::exchange(armed, nullptr)) {
        cleanup->run();
    }
}

void ExitCleanup::run() {
    const std::vector<quint64> ids = m_context.ownThrottles();
    if (ids.empty()) {
        return;
    }
    m_context.log(QStringLiteral("Ending before the quit steps ran"));
    m_context.log(QStringLiteral("Performing throttling cleanup..."));
    const auto deadline = std::chrono::steady_clock::now() + m_context.bound;
    const auto outcome = std::make_shared<Outcome>();
    std::thread worker([outcome, bus = m_context.bus, ids, deadline] {
        QString failure = endThrottles(bus, ids, deadline);
        const std::lock_guard lock(outcome->mutex);
        outcome->failure = std::move(failure);
        outcome->finished.notify_all();
    });
    std::unique_lock lock(outcome->mutex);
    if (outcome->finished.wait_until(lock, deadline,
                                     [&outcome] { return outcome->failure.has_value(); })) {
        const QString failure = *outcome->failure;
        lock.unlock();
        worker.join();
        m_context.log(failure.isEmpty()
                          ? QStringLiteral("Throttling disabled via fallback connection")
                          : QStringLiteral("Fallback cleanup failed: ") + failure);
        return;
    }
    lock.unlock();
    worker.detach();
    m_context.log(QStringLiteral("Cleanup timed out"));
    std::fflush(stdout);
    // The rest of exit() would tear down what the worker still uses. The
    // status is that of an ending that skipped the quit steps.
    std::_Exit(EXIT_FAILURE);
}
