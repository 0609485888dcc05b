// SPDX-License-Identifier: MIT
#include "ProfileJson.h"
#include "ProfileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
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
        records.append(ProfileJson::encode(profile));
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

// Saving one profile reads the file under its lock and rewrites it whole:
// the cost of every change.
void BM_PersistCustomProfiles(benchmark::State& state) {
    const QTemporaryDir home;
    writeProfiles(home.path(), state.range(0));
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    ProfileManager manager(defaults, home.path(), QString());
    manager.loadCustomProfiles();
    ThrottleProfile changed = manager.customProfiles().constFirst();
    for (auto _ : state) {
        changed.conditions.latency = *changed.conditions.latency + 1;
        if (!manager.saveProfile(changed).ok()) {
            state.SkipWithError("the profiles file could not be written");
            break;
        }
    }
    reportPerProfile(state);
}

// One setting written: read, changed and replaced under the file's lock.
void BM_WriteSetting(benchmark::State& state) {
    const QTemporaryDir home;
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    int minutes = 0;
    for (auto _ : state) {
        defaults.setValue(QStringLiteral("autoDisableMinutes"), ++minutes);
    }
    if (!defaults.sync()) {
        state.SkipWithError("the settings file could not be written");
    }
}

// From another store's write to this store publishing the new list: how
// soon the application shows what veltranectl changed.
void BM_SeeAnotherWritersChange(benchmark::State& state) {
    const QTemporaryDir home;
    writeProfiles(home.path(), 10);
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    ProfileManager watching(defaults, home.path(), QString());
    ProfileManager writing(defaults, home.path(), QString());
    writing.loadCustomProfiles();
    QCoreApplication::processEvents(); // the start-up load, and the watch
    ThrottleProfile changed = writing.customProfiles().constFirst();
    bool seen = false;
    QObject::connect(&watching, &ProfileManager::customProfilesChanged, [&seen] { seen = true; });
    for (auto _ : state) {
        seen = false;
        changed.conditions.latency = *changed.conditions.latency + 1;
        QElapsedTimer timer;
        timer.start();
        writing.saveProfile(changed);
        while (!seen && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (!seen) {
            state.SkipWithError("the change was not seen within 5 seconds");
            break;
        }
    }
}

void profileCounts(benchmark::internal::Benchmark* run) {
    run->Arg(10)->Arg(1'000)->Arg(100'000);
    run->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

BENCHMARK(BM_LoadCustomProfiles)->Apply(profileCounts);
BENCHMARK(BM_PersistCustomProfiles)->Apply(profileCounts);
BENCHMARK(BM_WriteSetting)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SeeAnotherWritersChange)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
