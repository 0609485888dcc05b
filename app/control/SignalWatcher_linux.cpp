// SPDX-License-Identifier: MIT
#include "SignalWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <pthread.h>
#include <unistd.h>

namespace {

// Written by the handler, read on the watcher's thread; made once and kept
// for the process, as a handler may still run while a watcher goes. A
// handler rather than a signalfd: signalfd needs the signal blocked in every
// thread, and Qt's threads (QtDBus's among them) may exist already; an
// ignored signal would never arrive.
int watchedSignalPipe[2] = {-1, -1};

void writeSignalToPipe(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full, the signals already in it suffice.
    [[maybe_unused]] const ssize_t written = ::write(watchedSignalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

// How each watched signal was handled before, to hand it back.
struct SignalWatcher::Previous {
    struct Handling {
        struct sigaction action;
        bool blocked;
    };
    std::map<int, Handling> bySignal;
};

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
    , m_previous(std::make_unique<Previous>()) {}

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : SignalWatcher(parent) {
    for (const int signalNumber : signalNumbers) {
        watch(signalNumber);
    }
}

SignalWatcher::~SignalWatcher() {
    for (const auto& [signalNumber, handling] : m_previous->bySignal) {
        // Blocked again first: one arriving in between waits rather than
        // finding no handler.
        if (handling.blocked) {
            sigset_t mask;
            sigemptyset(&mask);
            sigaddset(&mask, signalNumber);
            ::pthread_sigmask(SIG_BLOCK, &mask, nullptr);
        }
        ::sigaction(signalNumber, &handling.action, nullptr);
    }
}

std::optional<QString> SignalWatcher::watch(int signalNumber) {
    if (watchedSignalPipe[0] < 0 && ::pipe2(watchedSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return QString::fromLocal8Bit(strerror(errno));
    }
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(watchedSignalPipe[0], QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignals);
    }
    if (m_previous->bySignal.contains(signalNumber)) {
        return std::nullopt;
    }
    struct sigaction previous {};
    // Started with hangups ignored (nohup), the user asked the program to
    // outlive its terminal; a lost display still runs the clean-up.
    if (signalNumber == SIGHUP && ::sigaction(SIGHUP, nullptr, &previous) == 0 &&
        previous.sa_handler == SIG_IGN) {
        return std::nullopt;
    }
    struct sigaction action {};
    action.sa_handler = &writeSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, &previous);
    // A mask inherited from the launcher would keep the signal pending for
    // ever. The threads Qt started before keep theirs: a signal sent to the
    // process goes to a thread that does not block it, this one.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, signalNumber);
    sigset_t before;
    ::pthread_sigmask(SIG_UNBLOCK, &mask, &before);
    m_previous->bySignal.emplace(
        signalNumber, Previous::Handling{previous, sigismember(&before, signalNumber) == 1});
    return std::nullopt;
}

void SignalWatcher::readSignals() {
    unsigned char byte = 0;
    while (::read(watchedSignalPipe[0], &byte, 1) == 1) {
        Q_EMIT received(byte);
    }
}
