// SPDX-License-Identifier: MIT
#include "ControlFakes.h"
#include "ThrottleControlOnBus.h"

#include <benchmark/benchmark.h>

namespace {

using namespace std::chrono_literals;

// applyProfile + removeThrottling through the bus against the sandboxed
// daemon with no-op tools: beside BM_EnableRoundTrip of bench_helper it
// shows what the application's side adds.
void BM_ApplyRemoveRoundTrip(benchmark::State& state) {
    ThrottleControlOnBus control;
    const ThrottleProfile profile = preset("3G");
    waitWithDeadline(control.connection.readState(), 30s); // the daemon is up before timing starts

    for (auto _ : state) {
        waitWithDeadline(control.service.applyProfile(profile), 30s);
        waitWithDeadline(control.service.removeThrottling(), 30s);
        state.PauseTiming();
        control.helper.tools().clearToolRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyRemoveRoundTrip)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
