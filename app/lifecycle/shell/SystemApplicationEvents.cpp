// SPDX-License-Identifier: MIT
#include "SystemApplicationEvents.h"

#include <QCoreApplication>
#include <QGuiApplication>

SystemApplicationEvents::SystemApplicationEvents(QDBusConnection systemBus, QObject* parent)
    : ApplicationEvents(parent) {
    connect(&m_signals, &SignalWatcher::received, this, &ApplicationEvents::signalReceived);
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
    if (const std::optional<QString> failure = m_signals.watch(signalNumber)) {
        qWarning("Cannot watch signal %d: %s", signalNumber, qPrintable(*failure));
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
