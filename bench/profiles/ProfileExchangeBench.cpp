// SPDX-License-Identifier: MIT
// Export and import of many profiles, as a team shares them: the time each
// takes and the memory it peaks at, printed; nothing is asserted.
#include "ProfileExchange.h"
#include "ProfileManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The process's peak resident memory since the last reset, in KiB.
long peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

// Lets the next phase's peak be its own (Linux 4.0 and later).
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

ThrottleProfile richProfile(qsizetype i) {
    NetworkConditions conditions;
    conditions.downloadBandwidth = Bandwidth{780 + i, BandwidthUnit::kbps};
    conditions.uploadBandwidth = Bandwidth{330, BandwidthUnit::kbps};
    conditions.latency = 100;
    conditions.packetLossPercent = 2.5;
    conditions.dnsDelay = 50;
    conditions.jitter = 20;
    conditions.packetLossCorrelationPercent = 25;
    conditions.reorderPercent = 5;
    conditions.duplicatePercent = 1;
    return ThrottleProfile(QUuid::createUuid(), QStringLiteral("Profile %1").arg(i), conditions,
                           false, true);
}

template <typename Phase>
void measure(const char* name, qsizetype count, Phase phase) {
    resetPeak();
    const long before = peakKiB();
    QElapsedTimer timer;
    timer.start();
    const QString outcome = phase();
    const qint64 elapsed = timer.nsecsElapsed();
    std::printf("%-6s %lld profiles: %8.1f ms, peak %6.1f MiB (%+.1f MiB over the %.1f before): "
                "%s\n",
                name, static_cast<long long>(count), elapsed / 1e6, peakKiB() / 1024.0,
                (peakKiB() - before) / 1024.0, before / 1024.0, qPrintable(outcome.left(60)));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const qsizetype count = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000;
    const QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("shared.json"));
    {
        UserDefaults defaults(home.filePath(QStringLiteral("mine.json")));
        ProfileManager mine(defaults, home.filePath(QStringLiteral("mine")), QString());
        QList<ThrottleProfile> profiles;
        for (qsizetype i = 0; i < count; ++i) {
            profiles << richProfile(i);
        }
        mine.loadCustomProfiles();
        mine.importProfiles(profiles, ProfileManager::NameClash::rename);
        measure("export", count,
                [&] { return ProfileExchange::exportFile(mine.customProfiles(), file).message; });
    }
    std::printf("file   %.1f KiB\n", QFile(file).size() / 1024.0);
    UserDefaults defaults(home.filePath(QStringLiteral("theirs.json")));
    ProfileManager theirs(defaults, home.filePath(QStringLiteral("theirs")), QString());
    theirs.loadBuiltInProfiles();
    theirs.loadCustomProfiles();
    measure("import", count, [&] {
        return ProfileExchange::importFile(theirs, file, ProfileManager::NameClash::rename).message;
    });
    // Every name taken: each profile is renamed against a thousand others.
    measure("again", count, [&] {
        return ProfileExchange::importFile(theirs, file, ProfileManager::NameClash::rename).message;
    });
    return 0;
}
