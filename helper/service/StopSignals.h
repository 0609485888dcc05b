// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (systemctl stop, shutdown, package removal) and SIGINT delivered
// as a Qt signal on the main thread, so the daemon can remove its shaping
// before it exits.
class StopSignals final : public QObject {
    Q_OBJECT

public:
    // Call first thing in main(), before any thread starts: every thread
    // inherits the blocked signals, so only the descriptor ever sees them.
    // Also ignores SIGPIPE, which a closed log stream would otherwise raise.
    static void blockInEveryThread();

    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void stopRequested(int signal);

private:
    int m_fd;
    QSocketNotifier* m_notifier;
};
