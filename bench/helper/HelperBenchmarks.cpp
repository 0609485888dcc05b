// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "Logger.h"
#include "PfDummynetBackend.h"
#include "ThrottlingManager.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Log lines go nowhere, so the figures are the runner's own cost.
const Logger& quietLogger() {
    static const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    static const Logger logger(devNull, false);
    return logger;
}

void BM_ExecuteTrue(benchmark::State& state) {
    const CommandExecutor executor(quietLogger());
    for (auto _ : state) {
        benchmark::DoNotOptimize(executor.execute("/bin/true", {}));
    }
}
BENCHMARK(BM_ExecuteTrue)->UseRealTime();

void BM_PosixSpawnTrue(benchmark::State& state) {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
}
BENCHMARK(BM_PosixSpawnTrue)->UseRealTime();

void BM_SystemTrue(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::system("/bin/true"));
    }
}
BENCHMARK(BM_SystemTrue)->UseRealTime();

void BM_EnableDisableCycle(benchmark::State& state) {
    const FakeToolSandbox sandbox;
    const CommandExecutor executor(quietLogger());
    ThrottlingManager manager(
        quietLogger(), std::make_unique<PfDummynetBackend>(quietLogger(), executor,
                                                           EnginePaths::underRoot(sandbox.root())));
    for (auto _ : state) {
        manager.enableThrottling({97500, 41250, 100, 1.0, 0});
        manager.disableThrottling();
        state.PauseTiming();
        sandbox.clearToolRuns();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EnableDisableCycle)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
