// SPDX-License-Identifier: MIT
#include "HelperConnection.h"
#include "HelperOnPrivateBus.h"
#include "NotificationCenter.h"
#include "SystemServiceRegistration.h"
#include "TaskDeadline.h"
#include "ThrottleService.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

using namespace std::chrono_literals;

ThrottleProfile threeG() {
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        if (profile.name == u"3G") {
            return profile;
        }
    }
    throw std::logic_error("no 3G preset");
}

// applyProfile + removeThrottling through the bus against the sandboxed
// daemon with no-op tools: beside BM_EnableRoundTrip of bench_helper it
// shows what the application's side adds.
void BM_ApplyRemoveRoundTrip(benchmark::State& state) {
    HelperOnPrivateBus helper;
    SystemServicePaths paths;
    paths.bus = BusEndpoint(helper.bus().address());
    SystemServiceRegistration registration(paths);
    HelperConnection connection(registration, {BusEndpoint(helper.bus().address())});
    NotificationCenter notifications;
    ThrottleService service(connection, registration, notifications);
    const ThrottleProfile profile = threeG();
    waitWithDeadline(connection.getStatus(), 30s); // the daemon is up before timing starts

    for (auto _ : state) {
        waitWithDeadline(service.applyProfile(profile), 30s);
        waitWithDeadline(service.removeThrottling(), 30s);
        state.PauseTiming();
        helper.tools().clearToolRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyRemoveRoundTrip)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
