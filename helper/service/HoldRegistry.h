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

// Throttling held for a client lasts as long as its bus connection. Keeps
// the held enables still in flight and the callers that left meanwhile, and
// removes an owner's throttling once it must go: unless a newer change
// replaced it, which the engine's ChangeCount tells.
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

    // A connection left the bus: throttling it held goes.
    void connectionClosed(const QString& uniqueName);
    // The current holder left: its throttling goes.
    void holderLeft();

    // Removes the current owner's throttling, unless a change came after it;
    // logs `doneLine` when it did.
    void removeOwnersThrottling(std::string doneLine);

    // How the log tells that a holder's throttling went with it.
    static std::string departedLine(const ThrottleOwnership::Owner& owner);

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
