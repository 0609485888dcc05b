// SPDX-License-Identifier: MIT
// What the helper spends playing a recorded link's capacity: a trace of
// 100 ms steps in both directions, every step a new rate, on the
// whole-machine throttle of the sandboxed daemon. Prints the CPU share of one
// core taken by the daemon and by the tools it runs (reaped children), over
// a stretch of playing, and how many tool processes it started. With root
// and a kernel that has netem it plays against the real tc and ip in a
// private network namespace; otherwise against the sandbox's fake tools
// (shell scripts, which cost far more than tc itself: the daemon's own share
// is the figure to read then). It decides nothing.
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "NetnsPair.h"

#include <QCoreApplication>
#include <QDBusMetaType>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kTc = "/usr/sbin/tc";
constexpr const char* kIp = "/usr/sbin/ip";

struct CpuTicks {
    long long own = 0;
    long long children = 0;
};

// utime, stime, cutime and cstime of /proc/PID/stat, past the command name.
CpuTicks cpuOf(qint64 pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::vector<long long> values;
    std::string field;
    while (fields >> field) {
        values.push_back(std::atoll(field.c_str()));
    }
    // Field 14 of the file is the 12th after the name and state.
    if (values.size() < 15) {
        return {};
    }
    return {values[11] + values[12], values[13] + values[14]};
}

// A trace whose every step differs from the one before in both directions.
QVariantMap trace(int steps) {
    QList<qlonglong> download;
    QList<qlonglong> upload;
    for (int step = 0; step < steps; ++step) {
        download.append(100'000 + 1'000 * (step % 50));
        upload.append(30'000 + 500 * (step % 40));
    }
    return {{"stepMs", qlonglong(100)},
            {"download", QVariant::fromValue(download)},
            {"upload", QVariant::fromValue(upload)}};
}

void pause(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}

// `shown`, when given, prints what the kernel holds, to tell that steps land.
int play(HelperOnPrivateBus& helper, const char* where, std::chrono::seconds stretch,
         const std::function<std::string()>& shown = {}) {
    QDBusConnection client = helper.bus().connect(QStringLiteral("bench"));
    const QVariantMap parameters{{"downloadBytesPerSecond", qlonglong(97'500)},
                                 {"uploadBytesPerSecond", qlonglong(41'250)},
                                 {"latencyMs", qlonglong(100)},
                                 {"schedule", QVariantMap{{"trace", trace(6000)}}}};
    const QDBusMessage reply = HelperOnPrivateBus::call(client, "EnableThrottlingWithParameters",
                                                        {parameters, QString(), false}, 30'000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::printf("schedule-cpu: cannot play %s: %s\n", where,
                    reply.errorMessage().toStdString().c_str());
        return 1;
    }
    const qint64 pid = helper.bus().ownerPid(QString::fromUtf8(HelperProtocol::kServiceName));
    // The enable's own work is not the trace's.
    pause(std::chrono::seconds(2));
    helper.tools().clearToolRuns();
    const CpuTicks before = cpuOf(pid);
    const auto start = std::chrono::steady_clock::now();
    pause(stretch);
    const CpuTicks after = cpuOf(pid);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double ticks = double(::sysconf(_SC_CLK_TCK)) * seconds;
    std::printf("%s, %.0f s of 100 ms steps in both directions:\n", where, seconds);
    std::printf("  helper        %6.2f %% of a core\n",
                100.0 * double(after.own - before.own) / ticks);
    std::printf("  its tools     %6.2f %% of a core (%zu tool processes)\n",
                100.0 * double(after.children - before.children) / ticks,
                helper.tools().toolProcesses().size());
    std::printf("  together      %6.2f %% of a core\n",
                100.0 * double(after.own + after.children - before.own - before.children) / ticks);
    if (shown) {
        std::printf("  upload's netem now: %s", shown().c_str());
        pause(std::chrono::milliseconds(250));
        std::printf("  and a little later: %s", shown().c_str());
    }
    HelperOnPrivateBus::call(client, "DisableThrottling");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<QList<QVariantMap>>();
    std::chrono::seconds stretch(20);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--seconds" && i + 1 < argc) {
            stretch = std::chrono::seconds(std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: schedule_cpu [--seconds N]\n");
            return 2;
        }
    }
    std::optional<NetnsPair> pair;
    if (::geteuid() == 0) {
        try {
            pair.emplace();
        } catch (const std::exception& error) {
            std::printf("schedule-cpu: no private namespace (%s)\n", error.what());
        }
    }
    if (pair) {
        std::optional<HelperOnPrivateBus> helper;
        {
            const NetnsScope scope(pair->fd(NetnsPair::Side::shaped));
            helper.emplace(HelperOnPrivateBus::Options{
                {"--backend", "tc", "--interfaces", "vt0", "--netlink"}, std::nullopt, {}});
        }
        for (const std::string tool : {kTc, kIp}) {
            std::filesystem::remove(helper->tools().path(tool));
            std::filesystem::create_symlink(tool, helper->tools().path(tool));
        }
        const auto netem = [&] {
            const std::string all = pair->run(NetnsPair::Side::shaped, kTc,
                                              {"qdisc", "show", "dev", "vt0", "parent", "5655:1"});
            return all.empty() ? std::string("(none)\n") : all;
        };
        if (play(*helper, "real tc in a private namespace", stretch, netem) == 0) {
            return 0;
        }
    }
    HelperOnPrivateBus helper(
        HelperOnPrivateBus::Options{{"--backend", "tc", "--interfaces", "eth7"}, std::nullopt, {}});
    return play(helper, "fake tools", stretch);
}
