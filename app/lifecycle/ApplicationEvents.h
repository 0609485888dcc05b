// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

// What the desktop tells the application about its own life: becoming the
// active application, the machine going to sleep and waking, the process
// about to end, and termination signals once they are watched.
class ApplicationEvents : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // From now on the signal no longer ends the process: it is delivered as
    // signalReceived on the main thread instead.
    virtual void watchSignal(int signalNumber) = 0;
    // Ends the event loop soon, from the main thread; willTerminate follows.
    virtual void terminate() = 0;

Q_SIGNALS:
    void becameActive();
    void systemWillSleep();
    void systemDidWake();
    void willTerminate();
    void signalReceived(int signalNumber);
};
