// SPDX-License-Identifier: MIT
// Drives the sandboxed daemon, with fake tools on a private bus, the way an
// attacker and an unlucky user would, and prints what held and what it cost:
// random calls, concurrent clients, kills in the middle of edits, clients
// that leave at once, floods of bad method names, a hung tool, holders that
// die. Exits 1 when
// something that must hold did not (a crash, a missing reply, interleaved
// tool runs, a torn or unrestored pf.conf, a file left behind); the figures
// themselves never fail it. --short runs a version of about a minute.
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>

namespace {

int g_failures = 0;

void check(bool holds, const std::string& what) {
    if (!holds) {
        ++g_failures;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

// Kilobytes from a /proc status line such as "VmRSS:  12345 kB".
long statusKb(qint64 pid, const char* key) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

qint64 fdCount(qint64 pid) {
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot).size();
}

// Like waitUntil, but without its pauses, which would add up to 5 ms to
// every reply timed meanwhile: sleeps until the next event instead, woken at
// least every 50 ms to look at the time.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QTimer tick;
    tick.start(50);
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

class Soak final {
public:
    explicit Soak(bool quick)
        : m_quick(quick) {
        call(QStringLiteral("HealthCheck"));
        m_pid = daemonPid();
    }

    qint64 daemonPid() { return m_helper.bus().ownerPid(HelperProtocol::kServiceName); }
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
        return HelperOnPrivateBus::call(m_client, method, arguments, 60'000);
    }

    double healthMs(int samples = 50) {
        std::vector<double> times;
        for (int i = 0; i < samples; ++i) {
            QElapsedTimer timer;
            timer.start();
            call(QStringLiteral("HealthCheck"));
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return percentile(times, 0.5);
    }

    int matchRules() {
        QDBusMessage stats = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Debug.Stats"),
            QStringLiteral("GetConnectionStats"));
        stats.setArguments({QString::fromUtf8(HelperProtocol::kServiceName)});
        return qdbus_cast<QVariantMap>(m_client.call(stats).arguments().value(0))
            .value(QStringLiteral("MatchRules"), -1)
            .toInt();
    }

    // Sends `count` calls in waves, `make` building each; counts the replies.
    template <typename Make>
    int sendInWaves(int count, Make make) {
        int replies = 0;
        std::vector<QDBusPendingCall> wave;
        for (int i = 0; i < count; ++i) {
            wave.push_back(m_client.asyncCall(make(i), 60'000));
            if (wave.size() == 200 || i + 1 == count) {
                for (auto& pending : wave) {
                    pending.waitForFinished();
                    replies += pending.isFinished() ? 1 : 0;
                }
                wave.clear();
            }
        }
        return replies;
    }

    void randomCalls() {
        const int count = m_quick ? 3'000 : 100'000;
        std::mt19937_64 random(20261207);
        const QStringList methods = {"EnableThrottling",
                                     "DisableThrottling",
                                     "GetStatus",
                                     "ApplyThrottling",
                                     "RemoveThrottling",
                                     "IsThrottlingActive",
                                     "GetThrottlingConfiguration",
                                     "GetVersion",
                                     "HealthCheck",
                                     "Bogus"};
        const long rssBefore = statusKb(m_pid, "VmRSS:");
        QElapsedTimer timer;
        timer.start();
        const int replies = sendInWaves(count, [&](int) {
            QDBusMessage message =
                HelperOnPrivateBus::methodCall(methods[random() % methods.size()]);
            QVariantList arguments;
            for (unsigned n = random() % 6; n > 0; --n) {
                switch (random() % 5) {
                case 0:
                    arguments << qlonglong(random());
                    break;
                case 1:
                    arguments << qulonglong(random());
                    break;
                case 2:
                    arguments << uint(random());
                    break;
                case 3:
                    arguments << double(random() % 200) - 50.0;
                    break;
                default:
                    arguments << QStringLiteral("x");
                    break;
                }
            }
            // Mostly right-typed enables with random values, which the check
            // refuses, so that few of them run the fake tools.
            if (random() % 3 == 0) {
                arguments = {qlonglong(random()), qlonglong(random()), qlonglong(random() % 20'000),
                             double(random() % 200), qlonglong(random())};
                message = HelperOnPrivateBus::methodCall(QStringLiteral("EnableThrottling"));
            }
            message.setArguments(arguments);
            return message;
        });
        const double seconds = timer.elapsed() / 1000.0;
        std::printf("random calls      %d sent, %d answered, %.0f calls/s, RSS %ld -> %ld kB\n",
                    count, replies, count / seconds, rssBefore, statusKb(m_pid, "VmRSS:"));
        check(replies == count, "every random call answered once");
        check(daemonPid() == m_pid, "the daemon survived the random calls");
    }

    void concurrentClients() {
        const int clients = m_quick ? 10 : 50;
        const int rounds = m_quick ? 10 : 40;
        m_helper.tools().clearToolRuns();
        std::vector<double> statusMs;
        int finished = 0;
        QElapsedTimer wall;
        wall.start();
        std::vector<QDBusConnection> connections;
        for (int c = 0; c < clients; ++c) {
            connections.push_back(m_helper.bus().connect(QStringLiteral("soak-%1").arg(c)));
        }
        // Each client runs enable, status, disable, round after round.
        std::function<void(int, int, int)> step = [&](int c, int round, int stage) {
            if (round == rounds) {
                ++finished;
                return;
            }
            static const QString names[] = {"EnableThrottling", "GetStatus", "DisableThrottling"};
            const QVariantList arguments = stage == 0
                                               ? QVariantList{qlonglong(97500), qlonglong(41250),
                                                              qlonglong(100), 1.0, qlonglong(0)}
                                               : QVariantList{};
            auto* watcher = new QDBusPendingCallWatcher(connections[c].asyncCall(
                HelperOnPrivateBus::methodCall(names[stage], arguments), 120'000));
            auto* timer = new QElapsedTimer;
            timer->start();
            QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                             [&, watcher, timer, c, round, stage] {
                                 if (stage == 1) {
                                     statusMs.push_back(timer->nsecsElapsed() / 1e6);
                                 }
                                 check(watcher->reply().type() == QDBusMessage::ReplyMessage,
                                       "a concurrent call answered");
                                 delete timer;
                                 watcher->deleteLater();
                                 step(c, stage == 2 ? round + 1 : round, (stage + 1) % 3);
                             });
        };
        for (int c = 0; c < clients; ++c) {
            step(c, 0, 0);
        }
        runUntil([&] { return finished == clients; }, std::chrono::minutes(30));
        const double seconds = wall.elapsed() / 1000.0;

        // Each operation starts by flushing the anchor; every piece between
        // two flushes must be one whole enable or one whole disable.
        int operations = 0;
        int broken = 0;
        std::vector<std::string> current;
        auto close = [&] {
            if (!current.empty()) {
                ++operations;
                broken += current.size() == 5 || current.size() == 10 ? 0 : 1;
            }
            current.clear();
        };
        for (const std::string& run : m_helper.tools().toolRuns()) {
            if (run == "pfctl -a com.veltrane -F all") {
                close();
            }
            current.push_back(run);
        }
        close();
        const int calls = clients * rounds * 3;
        std::printf("concurrent        %d clients x %d rounds: %.0f calls/s, GetStatus p50 %.1f ms "
                    "p99 %.1f ms, %d operations, %d interleaved\n",
                    clients, rounds, calls / seconds, percentile(statusMs, 0.5),
                    percentile(statusMs, 0.99), operations, broken);
        check(finished == clients, "every concurrent client finished");
        check(broken == 0 && operations == clients * rounds * 2, "no interleaved tool runs");
        for (int c = 0; c < clients; ++c) {
            m_helper.bus().disconnect(QStringLiteral("soak-%1").arg(c));
        }
    }

    void kills() {
        const int count = m_quick ? 20 : 300;
        const std::string original = m_helper.tools().readFile("/etc/pf.conf");
        call(QStringLiteral("DisableThrottling"));
        // Slow tools widen the window in which a kill lands mid-operation.
        m_helper.tools().answer("dnctl", "*", 0, "", "", 0.01);
        std::mt19937 random(42);
        int torn = 0;
        int unrestored = 0;
        int leftovers = 0;
        for (int i = 0; i < count; ++i) {
            const qint64 pid = daemonPid();
            m_client.asyncCall(HelperOnPrivateBus::methodCall(
                i % 2 ? QStringLiteral("DisableThrottling") : QStringLiteral("EnableThrottling"),
                i % 2 ? QVariantList{}
                      : QVariantList{qlonglong(1000), qlonglong(0), qlonglong(0), 0.0,
                                     qlonglong(0)}));
            QThread::msleep(random() % 80);
            signalProcess(pid, SIGKILL);
            waitUntil([&] { return daemonPid() != pid; });
            const std::string conf = m_helper.tools().readFile("/etc/pf.conf");
            torn += conf == original || conf.find("com.veltrane") != std::string::npos ? 0 : 1;
            call(QStringLiteral("GetStatus")); // the next daemon starts
            unrestored += m_helper.tools().readFile("/etc/pf.conf") == original ? 0 : 1;
            for (const char* folder : {"/etc", "/tmp", "/run/veltrane"}) {
                const QDir dir(QString::fromStdString(m_helper.tools().path(folder)));
                leftovers +=
                    dir.entryList({QStringLiteral(".*.veltrane-*")}, QDir::Files | QDir::Hidden)
                        .size();
            }
            leftovers += m_helper.tools().exists("/tmp/veltrane_anchor.conf") ? 1 : 0;
        }
        m_helper.tools().clearAnswers();
        m_pid = daemonPid();
        std::printf("kills             %d SIGKILLs mid-operation: %d torn pf.conf, %d not restored "
                    "by the next daemon, %d temporary files left\n",
                    count, torn, unrestored, leftovers);
        check(torn == 0 && unrestored == 0 && leftovers == 0,
              "kills never tear pf.conf, the next daemon restores it, no file is left");
    }

    void fleetingClients() {
        const int count = m_quick ? 200 : 2'000;
        const int rulesBefore = matchRules();
        const long rssBefore = statusKb(m_pid, "VmRSS:");
        const qint64 fdsBefore = fdCount(m_pid);
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("fleeting-%1").arg(i);
            QDBusConnection fleeting = m_helper.bus().connect(name);
            fleeting.send(HelperOnPrivateBus::methodCall(QStringLiteral("GetVersion")));
            m_helper.bus().disconnect(name);
        }
        healthMs(5); // lets the daemon catch up
        QThread::msleep(500);
        const int rulesAfter = matchRules();
        std::printf("fleeting clients  %d: match rules %d -> %d, RSS %ld -> %ld kB, fds %lld -> "
                    "%lld\n",
                    count, rulesBefore, rulesAfter, rssBefore, statusKb(m_pid, "VmRSS:"), fdsBefore,
                    fdCount(m_pid));
        check(rulesAfter == rulesBefore, "short-lived clients leave no match rule behind");
        check(fdCount(m_pid) == fdsBefore, "short-lived clients leave no descriptor behind");
    }

    void badNames() {
        const int count = m_quick ? 5'000 : 60'000;
        const double healthBefore = healthMs();
        const long rssBefore = statusKb(m_pid, "VmRSS:");
        const int replies = sendInWaves(count, [](int i) {
            return HelperOnPrivateBus::methodCall(QStringLiteral("Bad%1").arg(i));
        });
        const double healthAfter = healthMs();
        std::printf("bad names         %d distinct: %d answered, RSS %ld -> %ld kB, HealthCheck "
                    "p50 %.2f -> %.2f ms\n",
                    count, replies, rssBefore, statusKb(m_pid, "VmRSS:"), healthBefore,
                    healthAfter);
        check(replies == count && daemonPid() == m_pid, "every bad name answered, no crash");
    }

    void hungTool() {
        m_helper.tools().answer("dnctl", "*", 0, "", "", 60);
        QElapsedTimer timer;
        timer.start();
        QDBusPendingCall enable =
            m_client.asyncCall(HelperOnPrivateBus::methodCall(QStringLiteral("EnableThrottling"),
                                                              {qlonglong(1000), qlonglong(0),
                                                               qlonglong(0), 0.0, qlonglong(0)}),
                               120'000);
        QThread::msleep(200);
        const double healthDuring = healthMs(5);
        enable.waitForFinished();
        const double enableSeconds = timer.elapsed() / 1000.0;
        m_helper.tools().clearAnswers();
        std::printf("hung tool         enable answered after %.1f s (limit 2 s): \"%s\"; "
                    "HealthCheck meanwhile %.2f ms\n",
                    enableSeconds,
                    qPrintable(enable.reply().arguments().value(1).toString().left(40)),
                    healthDuring);
        check(enable.reply().arguments().value(0) == false, "a hung tool fails the enable");
    }

    // Holders that die: half close their connection, half are processes
    // killed with SIGKILL. Timed from the death to the state that says the
    // shaping is gone, which the helper announces once it is.
    void holderDeaths() {
        const int count = m_quick ? 10 : 50;
        const HelperStateSignals announced(m_client);
        std::vector<double> closedMs;
        std::vector<double> killedMs;
        int removed = 0;
        for (int i = 0; i < count; ++i) {
            const bool kill = i % 2 == 1;
            const QString name = QStringLiteral("holder-%1").arg(i);
            QProcess process;
            if (kill) {
                process.start(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("--hold"), m_helper.bus().address()});
                process.waitForReadyRead(10'000);
            } else {
                QDBusConnection holder = m_helper.bus().connect(name);
                HelperOnPrivateBus::call(holder, QStringLiteral("EnableThrottlingAs"),
                                         holdArguments());
            }
            if (!call(QStringLiteral("GetStatus")).arguments().value(0).toBool()) {
                check(false, "a holder's throttling switched on");
                continue;
            }
            const qsizetype seen = announced.received().size();
            QElapsedTimer timer;
            timer.start();
            if (kill) {
                signalProcess(process.processId(), SIGKILL);
            } else {
                m_helper.bus().disconnect(name);
            }
            const bool gone = runUntil(
                [&] {
                    const auto& states = announced.received();
                    return std::any_of(states.begin() + seen, states.end(), [](const auto& state) {
                        return !state.value(QStringLiteral("active")).toBool();
                    });
                },
                std::chrono::seconds(10));
            (kill ? killedMs : closedMs).push_back(timer.nsecsElapsed() / 1e6);
            removed += gone ? 1 : 0;
            process.waitForFinished(5'000);
        }
        std::printf("holder deaths     %d: shaping removed after a closed connection in %.0f ms "
                    "(median), after SIGKILL in %.0f ms (median), slowest %.0f ms\n",
                    count, percentile(closedMs, 0.5), percentile(killedMs, 0.5),
                    std::max(percentile(closedMs, 1.0), percentile(killedMs, 1.0)));
        check(removed == count, "every dead holder's throttling removed");
    }

    static QVariantList holdArguments() {
        return {qlonglong(97500),
                qlonglong(41250),
                qlonglong(100),
                1.0,
                qlonglong(0),
                QStringLiteral("soak holder"),
                true};
    }

private:
    bool m_quick;
    HelperOnPrivateBus m_helper{
        {{QStringLiteral("--tool-time-limit"), QStringLiteral("2000")}, std::nullopt, {}}};
    QDBusConnection m_client = m_helper.bus().connect(QStringLiteral("soak"));
    qint64 m_pid = 0;
};

} // namespace

// The holder process of holderDeaths(): holds throttling on the bus at
// `address`, says so, and waits for its end.
int hold(const QString& address) {
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("holder"));
    const QDBusMessage reply =
        HelperOnPrivateBus::call(bus, QStringLiteral("EnableThrottlingAs"), Soak::holdArguments());
    std::printf("%s\n", reply.type() == QDBusMessage::ReplyMessage ? "held" : "failed");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--hold")) {
        return hold(app.arguments().value(2));
    }
    const bool quick = app.arguments().contains(QStringLiteral("--short"));
    QElapsedTimer total;
    total.start();
    {
        Soak soak(quick);
        soak.badNames();
        soak.fleetingClients();
        soak.randomCalls();
        soak.concurrentClients();
        soak.hungTool();
        soak.holderDeaths();
        soak.kills();
    }
    std::printf("soak %s: %s in %.0f s\n", quick ? "(short)" : "(full)",
                g_failures == 0 ? "everything held" : "FAILED", total.elapsed() / 1000.0);
    return g_failures == 0 ? 0 : 1;
}
