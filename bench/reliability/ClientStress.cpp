// SPDX-License-Identifier: MIT
// Starts veltranectl over and over, several at a time, against the sandboxed
// daemon on a private bus while busy threads load every core: apply, status,
// off, and watch ended by SIGTERM once it follows the helper. Beside them it
// runs the authorization tests, whose fixture starts a private bus, the
// daemon and a fake polkit. A crash shows only now and then, when a thread
// is preempted at the wrong moment: what counts is how many runs it took.
// Prints the runs, the load and every crash with its output (a core goes to
// the folder it names, where the limit and core_pattern allow), and exits 1
// on a crash; a run that fails without crashing is counted, not fatal.
#include "HelperOnPrivateBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

// Threads that keep the cores busy, so that the programs' threads are
// preempted at unlucky moments.
class BusyLoad final {
public:
    explicit BusyLoad(int threads) {
        for (int i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!m_stop.load(std::memory_order_relaxed)) {
                    spin = spin + 1;
                }
            });
        }
    }
    ~BusyLoad() {
        m_stop = true;
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

struct Job {
    QString name;
    QString program;
    QStringList arguments;
    // Exit statuses that are no failure.
    QList<int> fine;
    // Ended with SIGTERM once it has printed a line.
    bool terminateWhenFollowing = false;
};

struct Tally {
    int runs = 0;
    int failures = 0;
    int crashes = 0;
};

struct Running {
    const Job* job;
    std::unique_ptr<QProcess> process;
    QElapsedTimer started;
    qint64 pid = 0;
    bool terminated = false;
};

// Far beyond any run on a busy machine: one that takes longer hangs.
constexpr qint64 kHangMs = 120'000;

int optionValue(const QStringList& arguments, const QString& name, int fallback) {
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : fallback;
}

QString optionText(const QStringList& arguments, const QString& name, const QString& fallback) {
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : fallback;
}

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2)
                                          : QStringLiteral("unknown");
}

QString coreLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_CORE, &limit);
    return limit.rlim_cur == RLIM_INFINITY ? QStringLiteral("unlimited")
                                           : QString::number(limit.rlim_cur);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int rounds = optionValue(arguments, QStringLiteral("--rounds"), 250);
    const int testRuns = optionValue(arguments, QStringLiteral("--test-runs"), 50);
    const int parallel = optionValue(arguments, QStringLiteral("--parallel"), 4);
    const int loadThreads = optionValue(arguments, QStringLiteral("--load"),
                                        2 * static_cast<int>(std::thread::hardware_concurrency()));
    // Another build's programs, the sanitizers' for one: absolute paths.
    const QString veltranectl =
        optionText(arguments, QStringLiteral("--veltranectl"), QStringLiteral(VELTRANECTL_PATH));
    const QString busTests =
        optionText(arguments, QStringLiteral("--bus-tests"), QStringLiteral(BUS_TESTS_PATH));

    QTemporaryDir home;
    // Kept when something crashed: the cores are in it.
    home.setAutoRemove(false);
    HelperOnPrivateBus helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), helper.bus().address());

    // Status says 0 when throttling is on, 3 when off: either, as the others race it.
    const std::vector<Job> commands = {
        {QStringLiteral("apply 3G"),
         veltranectl,
         {QStringLiteral("apply"), QStringLiteral("3G")},
         {0}},
        {QStringLiteral("status"), veltranectl, {QStringLiteral("status")}, {0, 3}},
        {QStringLiteral("watch"), veltranectl, {QStringLiteral("watch")}, {0}, true},
        {QStringLiteral("off"), veltranectl, {QStringLiteral("off")}, {0}},
    };
    const Job busTest{QStringLiteral("authorization tests"),
                      busTests,
                      {QStringLiteral("--gtest_filter=AuthorizationTest.*")},
                      {0}};
    // The tests spread over the run, so that they meet every kind of command.
    std::vector<const Job*> queue;
    const int testEvery = testRuns > 0 ? std::max(1, rounds / testRuns) : 0;
    int testsQueued = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Job& command : commands) {
            queue.push_back(&command);
        }
        if (testsQueued < testRuns && round % testEvery == 0) {
            queue.push_back(&busTest);
            ++testsQueued;
        }
    }
    for (; testsQueued < testRuns; ++testsQueued) {
        queue.push_back(&busTest);
    }

    std::map<QString, Tally> tallies;
    QElapsedTimer timer;
    timer.start();
    {
        BusyLoad load(loadThreads);
        size_t next = 0;
        std::vector<Running> running;
        while (next < queue.size() || !running.empty()) {
            while (running.size() < static_cast<size_t>(parallel) && next < queue.size()) {
                const Job* job = queue.at(next++);
                auto process = std::make_unique<QProcess>();
                process->setProcessEnvironment(environment);
                process->setWorkingDirectory(home.path());
                process->setStandardInputFile(QProcess::nullDevice());
                process->start(job->program, job->arguments);
                QElapsedTimer started;
                started.start();
                const qint64 pid = process->processId();
                running.push_back({job, std::move(process), started, pid});
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            for (auto it = running.begin(); it != running.end();) {
                QProcess& process = *it->process;
                if (it->job->terminateWhenFollowing && !it->terminated && process.canReadLine()) {
                    process.terminate();
                    it->terminated = true;
                }
                if (process.state() != QProcess::NotRunning && it->started.hasExpired(kHangMs)) {
                    std::printf("hung: %s, killed\n", qPrintable(it->job->name));
                    process.kill();
                    process.waitForFinished();
                    ++tallies[it->job->name].runs;
                    ++tallies[it->job->name].failures;
                    it = running.erase(it);
                    continue;
                }
                if (process.state() != QProcess::NotRunning) {
                    ++it;
                    continue;
                }
                Tally& tally = tallies[it->job->name];
                ++tally.runs;
                const bool bySignal = process.exitStatus() == QProcess::CrashExit;
                const QByteArray output =
                    process.readAllStandardError() + process.readAllStandardOutput();
                // The only signal this sends, and only to a command that
                // catches it: ending by it is a failure, any other a crash.
                if (bySignal && !(it->terminated && process.exitCode() == SIGTERM)) {
                    ++tally.crashes;
                    std::printf("CRASH: %s (PID %lld) ended by signal %d\n%s\n",
                                qPrintable(it->job->name), static_cast<long long>(it->pid),
                                process.exitCode(), output.right(4000).constData());
                } else if (bySignal || !it->job->fine.contains(process.exitCode())) {
                    ++tally.failures;
                    std::printf("failed: %s with status %d%s\n%s\n", qPrintable(it->job->name),
                                process.exitCode(), bySignal ? " (signal)" : "",
                                output.right(2000).constData());
                }
                it = running.erase(it);
            }
        }
    }
    int runs = 0;
    int crashes = 0;
    for (const auto& [name, tally] : tallies) {
        std::printf("%-20s %6d runs %5d failed %5d crashed\n", qPrintable(name), tally.runs,
                    tally.failures, tally.crashes);
        runs += tally.runs;
        crashes += tally.crashes;
    }
    std::printf("%d runs in %.0f s, %d at a time, beside %d busy threads on %u cores (load "
                "average %s at the end)\n",
                runs, static_cast<double>(timer.elapsed()) / 1000.0, parallel, loadThreads,
                std::thread::hardware_concurrency(), qPrintable(loadAverage()));
    if (crashes > 0) {
        std::printf("%d crashed; core size limit %s, cores in %s as /proc/sys/kernel/core_pattern "
                    "allows\n",
                    crashes, qPrintable(coreLimit()), qPrintable(home.path()));
        return 1;
    }
    home.remove();
    std::printf("no crash\n");
    return 0;
}
