// SPDX-License-Identifier: MIT
#include "ThrottleControl.h"

#include "BusEndpoint.h"
#include "CliError.h"
#include "TaskDeadline.h"
#include "ThrottleError.h"

using namespace std::chrono_literals;

namespace {

// The connection's diagnostics would only repeat the error that ends the
// command, and must not mix into its output.
HelperConnectionOptions quiet() {
    HelperConnectionOptions options;
    options.diagnostics = [](const QString&) {};
    return options;
}

// Without the bus there is no telling whether the helper is installed;
// saying that the bus is out of reach points at the real cause.
void requireSystemBus() {
    const QString name = BusEndpoint::uniqueConnectionName(QStringLiteral("veltranectl-bus"));
    const QDBusConnection bus = BusEndpoint().open(name);
    const bool connected = bus.isConnected();
    const QString reason = bus.lastError().message();
    BusEndpoint::close(name);
    if (!connected) {
        throw CliError::failure(QStringLiteral("Cannot reach the system bus: ") + reason);
    }
}

} // namespace

const std::chrono::milliseconds kHelperDeadline = HelperConnectionOptions().replyTimeout + 2s;

ThrottleControl::ThrottleControl()
    : connection(registration, quiet()) {
    requireSystemBus();
}

std::optional<HelperFailure> waitForHelper(QCoro::Task<> call) {
    try {
        waitWithDeadline(std::move(call), kHelperDeadline);
    } catch (const ThrottleError& error) {
        const bool unanswered =
            error.errorCase() == ThrottleError::Case::helperCommunicationFailed ||
            error.errorCase() == ThrottleError::Case::unknown;
        return HelperFailure{error.description(), unanswered};
    } catch (const DeadlineExceeded&) {
        return HelperFailure{QStringLiteral("The helper did not answer in time"), true};
    }
    return std::nullopt;
}
