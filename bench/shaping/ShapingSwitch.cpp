// SPDX-License-Identifier: MIT
// How long a user waits for throttling to switch on, to change profile while
// on, and to switch off: the time from the bus call to its reply, against the
// sandboxed daemon with the real tc and ip, in private network namespaces
// with one and with three shaped interfaces, for the whole machine's throttle
// and for one scoped to destinations. Prints the median and the slowest of 20
// of each. It decides nothing: it exits 1 only when it could not measure and
// was given --must-measure.
#include "HelperOnPrivateBus.h"
#include "NetnsPair.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Side = NetnsPair::Side;

namespace {

constexpr int kRounds = 20;
constexpr auto kBetweenSwitches = std::chrono::milliseconds(250);
constexpr const char* kTc = "/usr/sbin/tc";
constexpr const char* kIp = "/usr/sbin/ip";

// "3G" (780 kbit/s down, 330 up, 100 ms), then "Edge" (240, 200, 400 ms)
// with some loss, as a user picks another profile while throttling is on.
const QVariantList k3G = {qlonglong(97'500), qlonglong(41'250), qlonglong(100), 0.0, qlonglong(0)};
const QVariantList kEdge = {qlonglong(30'000), qlonglong(25'000), qlonglong(400), 1.0,
                            qlonglong(0)};

// "Edge" to four destinations of a service: two addresses, a network and
// an IPv6 address, each with its port.
const QVariantMap kEdgeToService = {
    {QStringLiteral("downloadBytesPerSecond"), qlonglong(30'000)},
    {QStringLiteral("uploadBytesPerSecond"), qlonglong(25'000)},
    {QStringLiteral("latencyMs"), qlonglong(400)},
    {QStringLiteral("packetLossPercent"), 1.0},
    {QStringLiteral("scope"),
     QVariantMap{
         {QStringLiteral("destinations"),
          QStringList{QStringLiteral("192.0.2.7:443"), QStringLiteral("192.0.2.8:443"),
                      QStringLiteral("198.51.100.0/24"), QStringLiteral("[2001:db8::1]:443")}}}}};

struct Figures {
    std::vector<double> enable, change, disable;
    // A scoped throttle switched on and ended with nothing else on, and
    // beside the whole machine's.
    std::vector<double> scopedOn, scopedEnd, scopedBeside, scopedEndBeside;
};

// The daemon in the shaped namespace of `pair`, shaping `interfaces` with
// the machine's own tc and ip.
class SwitchBench final {
public:
    SwitchBench(NetnsPair& pair, const QString& interfaces) {
        {
            const NetnsScope scope(pair.fd(Side::shaped));
            // Devices over rtnetlink, as the installed daemon makes them.
            m_helper.emplace(HelperOnPrivateBus::Options{
                {QStringLiteral("--backend"), QStringLiteral("tc"), QStringLiteral("--interfaces"),
                 interfaces, QStringLiteral("--netlink")},
                std::nullopt,
                {}});
        }
        for (const std::string tool : {kTc, kIp}) {
            std::filesystem::remove(m_helper->tools().path(tool));
            std::filesystem::create_symlink(tool, m_helper->tools().path(tool));
        }
        m_client.emplace(m_helper->bus().connect(QStringLiteral("bench")));
        // The first call starts the daemon: not a switch.
        call("GetStatus", {});
    }

    Figures measure() {
        Figures figures;
        for (int round = 0; round < kRounds; ++round) {
            figures.enable.push_back(timedSwitch("EnableThrottling", k3G));
            figures.change.push_back(timedSwitch("EnableThrottling", kEdge));
            figures.disable.push_back(timedSwitch("DisableThrottling", {}));
            for (const bool beside : {false, true}) {
                if (beside) {
                    timedSwitch("EnableThrottling", k3G);
                }
                QVariantList id;
                (beside ? figures.scopedBeside : figures.scopedOn)
                    .push_back(timedSwitch("EnableThrottlingWithParameters",
                                           {kEdgeToService, QString(), false}, &id));
                (beside ? figures.scopedEndBeside : figures.scopedEnd)
                    .push_back(timedSwitch("EndThrottle", id));
            }
            timedSwitch("DisableThrottling", {});
        }
        return figures;
    }

private:
    QDBusMessage call(const char* method, const QVariantList& arguments) {
        return HelperOnPrivateBus::call(*m_client, QString::fromLatin1(method), arguments, 30'000);
    }

    // Milliseconds from the call to its reply; throws when it failed. The
    // newer members answer with an error or a throttle's id, the older ones
    // with a success flag and a message.
    double timedSwitch(const char* method, const QVariantList& arguments,
                       QVariantList* answered = nullptr) {
        // A person switches a few times a second at most; what the helper
        // does between switches (tc started ahead) is not the next one's.
        std::this_thread::sleep_for(kBetweenSwitches);
        const auto start = std::chrono::steady_clock::now();
        const QDBusMessage reply = call(method, arguments);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        const QVariantList answer = reply.arguments();
        const bool flagged = answer.value(0).typeId() == QMetaType::Bool;
        if (reply.type() != QDBusMessage::ReplyMessage || (flagged && !answer.value(0).toBool())) {
            throw std::runtime_error(std::string(method) + ": " +
                                     (reply.type() == QDBusMessage::ReplyMessage
                                          ? answer.value(1).toString()
                                          : reply.errorMessage())
                                         .toStdString());
        }
        if (answered != nullptr) {
            *answered = answer;
        }
        return took.count();
    }

    std::optional<HelperOnPrivateBus> m_helper;
    std::optional<QDBusConnection> m_client;
};

// vt0 and two more interfaces of the shaped side, each half of a veth pair
// whose other half stays there too: shaping needs links, not traffic.
void addTwoInterfaces(NetnsPair& pair) {
    for (const char* name : {"vt2", "vt4"}) {
        const std::string peer = std::string(name) + "p";
        pair.run(Side::shaped, kIp, {"link", "add", name, "type", "veth", "peer", "name", peer});
        pair.run(Side::shaped, kIp, {"link", "set", name, "up"});
        pair.run(Side::shaped, kIp, {"link", "set", peer, "up"});
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void print(const char* uplinks, const char* what, const std::vector<double>& times) {
    std::printf("%-12s %-28s %10.1f ms %10.1f ms\n", uplinks, what, median(times),
                *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bool mustMeasure = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--must-measure") {
            mustMeasure = true;
        } else {
            std::fprintf(stderr, "usage: shaping_switch [--must-measure]\n");
            return 2;
        }
    }
    std::optional<NetnsPair> pair;
    try {
        pair.emplace();
        addTwoInterfaces(*pair);
    } catch (const std::exception& error) {
        std::printf("shaping-switch: cannot measure here: %s\n", error.what());
        return mustMeasure ? 1 : 0;
    }
    std::printf("from the bus call to its reply, %d of each\n\n", kRounds);
    std::printf("%-12s %-28s %13s %13s\n", "uplinks", "switch", "median", "slowest");
    for (const auto& [label, interfaces] :
         {std::pair{"1 uplink", "vt0"}, std::pair{"3 uplinks", "vt0,vt2,vt4"}}) {
        try {
            SwitchBench bench(*pair, QString::fromLatin1(interfaces));
            const Figures figures = bench.measure();
            print(label, "enable (3G)", figures.enable);
            print(label, "change while on (to Edge)", figures.change);
            print(label, "disable", figures.disable);
            print(label, "scoped on, nothing else", figures.scopedOn);
            print(label, "scoped ended, nothing else", figures.scopedEnd);
            print(label, "scoped on, machine's on", figures.scopedBeside);
            print(label, "scoped ended, machine's on", figures.scopedEndBeside);
        } catch (const std::exception& error) {
            std::printf("shaping-switch: cannot measure here: %s\n", error.what());
            return mustMeasure ? 1 : 0;
        }
    }
    return 0;
}
