// SPDX-License-Identifier: MIT
// Starts veltrane as the process tests do (Xvfb, a tray host and a
// notification server on a private session bus, the sandboxed helper on a
// private system bus), waits until it is idle with the panel closed, then
// prints its resident memory, its wake-ups per second over 10 seconds, and
// the time from exec to the tray item's registration. With --throttled
// [PROFILE], it first switches on a built-in profile from the tray's menu,
// by default "Flaky Wi-Fi": a schedule the helper plays, whose phases change
// every few seconds while the panel stays closed.
#include "BenchedApplication.h"
#include "ThrottleProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <chrono>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

// A field of /proc/<pid>/status, or of one thread's.
qint64 statusField(const QString& statusFile, const QByteArray& field) {
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':')) {
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

// Every time a thread of the process gave up or lost the processor.
qint64 contextSwitches(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    qint64 total = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString status = tasks.filePath(task + QStringLiteral("/status"));
        total += statusField(status, "voluntary_ctxt_switches") +
                 statusField(status, "nonvoluntary_ctxt_switches");
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = application.arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--throttled"));
    const bool throttled = option > 0;
    const QString throttledWith = arguments.value(option + 1, QStringLiteral("Flaky Wi-Fi"));
    // The steady state of a user past onboarding: no window open.
    BenchedApplication benched;
    FakeDesktop& desktop = benched.desktop;
    if (throttled) {
        const ThrottleProfile* chosen = nullptr;
        for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
            if (profile.name == throttledWith) {
                chosen = &profile;
            }
        }
        if (chosen == nullptr) {
            std::fprintf(stderr, "no built-in profile is named %s\n", qPrintable(throttledWith));
            return 2;
        }
        desktop.setting(SettingsKeys::selectedProfileID, ThrottleProfile::idText(chosen->id()));
    }
    QProcess& app = benched.process;

    QElapsedTimer sinceExec;
    sinceExec.start();
    benched.start();
    if (!waitUntil([&desktop] { return desktop.tray.item().has_value(); }, 20s)) {
        std::fprintf(stderr, "veltrane never registered a tray item\n");
        return 1;
    }
    const qint64 registrationMs = sinceExec.elapsed();
    if (throttled && !desktop.tray.clickMenu(QStringLiteral("Turn Throttling On"))) {
        std::fprintf(stderr, "the tray's menu has no Turn Throttling On\n");
        return 1;
    }

    // Start-up work (profiles, the helper check, notifications) is over well within this.
    waitUntil([] { return false; }, 5s);
    const qint64 pid = app.processId();
    const qint64 before = contextSwitches(pid);
    waitUntil([] { return false; }, 10s);
    const qint64 after = contextSwitches(pid);
    const qint64 rssKb = statusField(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS");

    out << "exec to tray registration: " << registrationMs << " ms\n";
    out << "resident memory: " << QString::number(rssKb / 1024.0, 'f', 1) << " MB\n";
    out << "wake-ups per second (idle, panel closed"
        << (throttled ? ", " + throttledWith + " on" : QString())
        << ", 10 s): " << QString::number((after - before) / 10.0, 'f', 2) << "\n";
    app.terminate();
    app.waitForFinished(5000);
    return 0;
}
