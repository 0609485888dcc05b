// SPDX-License-Identifier: MIT
#include "ShapingSwitchScoped.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "Logger.h"
#include "NetnsPair.h"
#include "TrafficControlBackend.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using Side = NetnsPair::Side;

namespace {

constexpr int kScopedRounds = 20;

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void printTimes(const char* uplinks, const char* what, const std::vector<double>& times) {
    std::printf("%-12s %-28s %10.1f ms %10.1f ms\n", uplinks, what, medianOf(times),
                *std::max_element(times.begin(), times.end()));
}

template <typename Switch>
double millisecondsOf(Switch&& change) {
    const auto start = std::chrono::steady_clock::now();
    change();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// "3G" for the whole machine, and "Edge" to four destinations of a service:
// two addresses, a network and a port.
ShapingLayout machineLayout() {
    return ShapingLayout::wholeMachine(ShapingPlan::from({97'500, 41'250, 100, 0.0, 0}));
}
ScopedPlan scopedThrottle() {
    ScopedPlan scoped{2, {}, ShapingPlan::from({30'000, 25'000, 400, 1.0, 0})};
    for (const char* text :
         {"192.0.2.7:443", "192.0.2.8:443", "198.51.100.0/24", "[2001:db8::1]:443"}) {
        std::string failure;
        scoped.scope.destinations.push_back(*Destination::parse(text, failure));
    }
    return scoped;
}

} // namespace

void measureScopedSwitch(NetnsPair& pair, const char* label, const char* uplinks) {
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const Logger logger(devNull, false);
    const CommandExecutor executor(logger);
    const FakeToolSandbox recordFolder;
    EnginePaths paths;
    paths.changeRecord = recordFolder.path("/switch.record");
    const NetnsScope scope(pair.fd(Side::shaped));
    TrafficControlBackend backend(logger, executor, paths,
                                  std::make_unique<FixedUplinks>(FixedUplinks::parseNames(uplinks)),
                                  TrafficControlBackend::Devices::overNetlink);
    const ShapingLayout machine = machineLayout();
    ShapingLayout both = machine;
    both.throttles.push_back(scopedThrottle());
    const ShapingLayout scopedAlone{{scopedThrottle()}};

    std::vector<double> on, off, fromNothing, allOff;
    for (int round = 0; round < kScopedRounds; ++round) {
        backend.applyShaping(machine);
        on.push_back(millisecondsOf([&] {
            if (!backend.changeShaping(both)) {
                throw std::runtime_error("the scoped throttle could not be added in place");
            }
        }));
        off.push_back(millisecondsOf([&] {
            if (!backend.changeShaping(machine)) {
                throw std::runtime_error("the scoped throttle could not be removed in place");
            }
        }));
        backend.removeShaping();
        fromNothing.push_back(millisecondsOf([&] { backend.applyShaping(scopedAlone); }));
        allOff.push_back(millisecondsOf([&] { backend.removeShaping(); }));
    }
    ::close(devNull);
    printTimes(label, "scoped on, machine's on", on);
    printTimes(label, "scoped off, machine's on", off);
    printTimes(label, "scoped on from nothing", fromNothing);
    printTimes(label, "scoped off, nothing left", allOff);
}
