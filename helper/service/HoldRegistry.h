// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleOwnership.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <string>

class EngineJobs;
class Logger;
class StatePublisher;
struct EnableRequest;

// A throttle held for a client lasts as long as its bus connection. Keeps
// the held enables still in flight and the callers that left meanwhile, and
// ends an owner's throttles once they must go, each by its id: a throttle
// that replaced one has an id of its own, and stays.
class HoldRegistry final {
public:
    // `jobs` is null when there is no engine, and then nothing is ever held.
    HoldRegistry(const Logger& logger, ThrottleOwnership& ownership, EngineJobs* jobs,
                 StatePublisher& state);

    // Counted from the call's arrival: its caller may leave while it is
    // being authorized.
    void arrived(const EnableRequest& request);
    // Counts a held enable as finished, refused or not; true when its caller
    // left meanwhile.
    bool settle(const EnableRequest& request);

    // A connection left the bus: the throttles it held go.
    void connectionClosed(const QString& uniqueName);
    // The holder of throttle `id` left: it goes.
    void holderLeft(quint64 id);

    // Ends throttle `id`, if it is still in force; logs `doneLine` when it
    // did.
    void endThrottle(quint64 id, std::string doneLine);

    // How the log tells that a holder's throttling went with it.
    static std::string departedLine(const ThrottleOwnership::Record& record);

private:
    const Logger& m_logger;
    ThrottleOwnership& m_ownership;
    EngineJobs* const m_jobs;
    StatePublisher& m_state;
    // Held enables not yet finished, by caller, and those of them whose
    // caller has left meanwhile.
    QHash<QString, int> m_inFlight;
    QSet<QString> m_departed;
};
