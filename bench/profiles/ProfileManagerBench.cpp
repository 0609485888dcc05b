// SPDX-License-Identifier: MIT
#include "ProfileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A custom profiles file of n records with every condition present, the
// largest record the store writes.
void writeProfiles(const QString& dataDirectory, qsizetype n) {
    QJsonArray records;
    for (qsizetype i = 0; i < n; ++i) {
        const ThrottleProfile profile(QUuid::createUuid(), QStringLiteral("Profile %1").arg(i),
                                      Bandwidth{780 + i, BandwidthUnit::kbps},
                                      Bandwidth{330, BandwidthUnit::mbps}, 100, 2.5, 50, false,
                                      i % 2 == 0);
        records.append(profile.toJson());
    }
    QDir().mkpath(dataDirectory + QStringLiteral("/Veltrane"));
    QFile file(dataDirectory + QStringLiteral("/Veltrane/CustomProfiles.json"));
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot write the benchmark's profiles file");
    }
    file.write(QJsonDocument(records).toJson());
}

void reportPerProfile(benchmark::State& state) {
    state.SetComplexityN(state.range(0));
    state.counters["per_profile"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LoadCustomProfiles(benchmark::State& state) {
    const QTemporaryDir home;
    writeProfiles(home.path(), state.range(0));
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    ProfileManager manager(defaults, home.path(), QString());
    for (auto _ : state) {
        manager.loadCustomProfiles();
        benchmark::DoNotOptimize(manager.customProfiles().size());
    }
    if (manager.customProfiles().size() != state.range(0)) {
        state.SkipWithError("the profiles did not load");
    }
    reportPerProfile(state);
}

// Saving one profile rewrites the whole file: the cost of every change.
void BM_PersistCustomProfiles(benchmark::State& state) {
    const QTemporaryDir home;
    writeProfiles(home.path(), state.range(0));
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    ProfileManager manager(defaults, home.path(), QString());
    manager.loadCustomProfiles();
    ThrottleProfile changed = manager.customProfiles().constFirst();
    for (auto _ : state) {
        changed.latency = *changed.latency + 1;
        if (!manager.saveProfile(changed)) {
            state.SkipWithError("the profiles file could not be written");
            break;
        }
    }
    reportPerProfile(state);
}

void profileCounts(benchmark::internal::Benchmark* run) {
    run->Arg(10)->Arg(1'000)->Arg(100'000);
    run->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK(BM_LoadCustomProfiles)->Apply(profileCounts);
BENCHMARK(BM_PersistCustomProfiles)->Apply(profileCounts);

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
