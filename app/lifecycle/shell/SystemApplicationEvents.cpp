// SPDX-License-Identifier: MIT
#include "SystemApplicationEvents.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// Written by the handler, read on the main thread. A handler rather than a
// signalfd: signalfd needs the signal blocked in every thread, and Qt's
// threads exist before the launch; an ignored signal would never arrive.
int signalPipe[2] = {-1, -1};

void writeSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full, the signals already in it suffice.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

SystemApplicationEvents::SystemApplicationEvents(QDBusConnection systemBus, QObject* parent)
    : ApplicationEvents(parent) {
    systemBus.connect(QStringLiteral("org.freedesktop.login1"),
                      QStringLiteral("/org/freedesktop/login1"),
                      QStringLiteral("org.freedesktop.login1.Manager"),
                      QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive) {
                        Q_EMIT becameActive();
                    }
                });
    }
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &ApplicationEvents::willTerminate);
}

SystemApplicationEvents::~SystemApplicationEvents() = default;

void SystemApplicationEvents::watchSignal(int signalNumber) {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Cannot watch signal %d: %s", signalNumber, strerror(errno));
        return;
    }
    if (!m_signalNotifier) {
        m_signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        connect(m_signalNotifier.get(), &QSocketNotifier::activated, this,
                &SystemApplicationEvents::readSignals);
    }
    struct sigaction action {};
    // Started with hangups ignored (nohup), the user asked the program to
    // outlive its terminal; a lost display still runs the clean-up.
    if (signalNumber == SIGHUP && ::sigaction(SIGHUP, nullptr, &action) == 0 &&
        action.sa_handler == SIG_IGN) {
        return;
    }
    action = {};
    action.sa_handler = &writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
    // A mask inherited from the launcher would keep the signal pending for
    // ever. The threads Qt started before keep theirs: a signal sent to the
    // process goes to a thread that does not block it, this one.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &mask, nullptr);
}

void SystemApplicationEvents::readSignals() {
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1) {
        Q_EMIT signalReceived(byte);
    }
}

void SystemApplicationEvents::terminate() {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void SystemApplicationEvents::prepareForSleep(bool start) {
    if (start) {
        Q_EMIT systemWillSleep();
    } else {
        Q_EMIT systemDidWake();
    }
}
