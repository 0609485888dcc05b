// SPDX-License-Identifier: MIT
#pragma once

#include "BesideThrottles.h"
#include "HelperClient.h"
#include "ThrottleError.h"
#include "ThrottleParameters.h"
#include "ThrottleScope.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <map>

// Takes this application's throttling back after a new bus connection
// replaced a lost one: the helper removed what the old connection held.
// While it runs, the helper's intermediate "off" is not to be shown.
class ReconnectTakeBack final : public QObject {
    Q_OBJECT

public:
    explicit ReconnectTakeBack(HelperClient& helper, QObject* parent = nullptr);

    bool isRunning() const { return m_running; }
    // A scope beside the whole machine is switched on again with the
    // addresses it had: they are not looked up a second time. A schedule
    // starts again from its beginning.
    QCoro::Task<> takeBack(ThrottleParameters parameters, ThrottleScope scope,
                           ThrottleSchedule schedule, QString description, bool hold);

    // Each throttle of one application or command that the lost connection
    // held is switched on again, unheld, one after another; a failure does
    // not stop the others.
    QCoro::Task<> takeBackEach(std::map<quint64, BesideThrottle> lost, QString description);

Q_SIGNALS:
    // Taken back, under a new id.
    void takenBack(quint64 id);
    // Taken back in vain: what the helper said meanwhile stands.
    void failed(const ThrottleError& error);
    // One of takeBackEach's, under a new id, or its failure.
    void besideTakenBack(quint64 id, const BesideThrottle& throttle);
    void besideFailed(const ThrottleError& error);

private:
    HelperClient& m_helper;
    bool m_running = false;
};
