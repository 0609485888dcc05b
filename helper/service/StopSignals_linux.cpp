// SPDX-License-Identifier: MIT
#include "StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t stopSignals() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    return mask;
}

} // namespace

void StopSignals::blockInEveryThread() {
    const sigset_t mask = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

StopSignals::StopSignals(QObject* parent)
    : QObject(parent) {
    const sigset_t mask = stopSignals();
    m_fd = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info{};
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            Q_EMIT stopRequested(static_cast<int>(info.ssi_signo));
        }
    });
}

StopSignals::~StopSignals() {
    delete m_notifier;
    ::close(m_fd);
}
