// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"

#include <benchmark/benchmark.h>

namespace {

// The sandboxed daemon behind a private bus, started once per benchmark.
struct BusClient {
    HelperOnPrivateBus helper;
    QDBusConnection client = helper.bus().connect(QStringLiteral("bench"));

    BusClient() { HelperOnPrivateBus::call(client, QStringLiteral("HealthCheck")); }
};

void BM_GetStatusRoundTrip(benchmark::State& state) {
    BusClient bus;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HelperOnPrivateBus::call(bus.client, QStringLiteral("GetStatus")));
    }
}
BENCHMARK(BM_GetStatusRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_EnableRoundTrip(benchmark::State& state) {
    BusClient bus;
    const QVariantList arguments{qlonglong(97500), qlonglong(41250), qlonglong(100), 1.0,
                                 qlonglong(0)};
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            HelperOnPrivateBus::call(bus.client, QStringLiteral("EnableThrottling"), arguments));
        state.PauseTiming();
        bus.helper.tools().clearToolRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EnableRoundTrip)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
