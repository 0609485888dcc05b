// SPDX-License-Identifier: MIT
#include "StopSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array kStopSignals{SIGINT, SIGTERM};

// A handler writing to a pipe rather than a signalfd: signalfd needs the
// signal blocked in every thread, and QtDBus's thread may exist already.
int stopPipe[2] = {-1, -1};

void writeSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full, the signals already in it suffice.
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

struct StopSignals::Saved {
    std::array<struct sigaction, kStopSignals.size()> actions{};
};

StopSignals::StopSignals(std::function<void()> stopped)
    : m_saved(std::make_unique<Saved>())
    , m_stopped(std::move(stopped)) {
    if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe the signals keep their default: they still end
        // the process, only not as cleanly.
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        unsigned char byte = 0;
        bool received = false;
        while (::read(stopPipe[0], &byte, 1) == 1) {
            received = true;
        }
        if (received) {
            m_stopped();
        }
    });
    struct sigaction action {};
    action.sa_handler = &writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &m_saved->actions[i]);
    }
}

StopSignals::~StopSignals() {
    if (!m_notifier) {
        return;
    }
    for (size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &m_saved->actions[i], nullptr);
    }
}
