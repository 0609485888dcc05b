// SPDX-License-Identifier: MIT
#include "EngineJobs.h"

#include "HelperError.h"
#include "ThrottlingManager.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

EngineJobs::EngineJobs(const Logger& logger, ThrottlingManager& engine, CallBudget budget,
                       QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_budget(budget)
    , m_steps(logger, engine,
              std::min<std::chrono::milliseconds>(std::chrono::seconds(5), budget.forChange())) {}

EngineJobs::~EngineJobs() {
    // The steps' timers are the engine thread's, and stopped there.
    m_thread.post([this] { m_steps.stopAll(); });
}

QString EngineJobs::timedOutText() const {
    return QStringLiteral("Throttling could not be changed within %1 s")
        .arg(QString::number(double(m_budget.total.count()) / 1000.0));
}

void EngineJobs::enable(const ThrottleParameters& parameters, const ThrottleScope& scope,
                        const ThrottleSchedule& schedule, Clock::time_point arrived, Done done) {
    post([this, parameters, scope, schedule,
          arrived] { return runEnable(parameters, scope, schedule, arrived); },
         std::move(done));
}

void EngineJobs::playSchedule(quint64 id, const ThrottleSchedule& schedule,
                              const ThrottleParameters& base,
                              ScheduleSteps::Steady::time_point origin,
                              ScheduleSteps::PhaseBegan phaseBegan) {
    m_thread.post([this, id, schedule, base, origin, phaseBegan = std::move(phaseBegan)] {
        if (m_stopping) {
            return;
        }
        m_steps.play(id, schedule, base, origin,
                     [this, phaseBegan](quint64 id, const ThrottleSchedule::Position& position) {
                         QMetaObject::invokeMethod(
                             this, [phaseBegan, id, position] { phaseBegan(id, position); },
                             Qt::QueuedConnection);
                     });
    });
}

void EngineJobs::stopSchedule(quint64 id) {
    m_thread.post([this, id] { m_steps.stop(id); });
}

void EngineJobs::changeCgroups(quint64 id, std::vector<std::string> cgroups, Done done) {
    post(
        [this, id, cgroups = std::move(cgroups)] {
            const CommandExecutor::CallDeadline deadline(Clock::now() + m_budget.forChange());
            Outcome outcome;
            bool inForce = true;
            attempt(outcome, [&] { inForce = m_engine.changeCgroups(id, cgroups); });
            outcome.skipped = !inForce;
            return finished(outcome);
        },
        std::move(done));
}

void EngineJobs::disable(Clock::time_point arrived, Done done) {
    post([this, arrived] { return runDisable(arrived + m_budget.total); }, std::move(done));
}

void EngineJobs::endThrottles(std::vector<quint64> ids, Clock::time_point arrived, Done done) {
    post(
        [this, ids = std::move(ids), arrived] {
            const Clock::time_point endBy = arrived + m_budget.total;
            if (Clock::now() >= endBy) {
                return turnCameTooLate();
            }
            Outcome outcome;
            const CommandExecutor::CallDeadline deadline(endBy);
            const std::vector<std::uint64_t> wanted(ids.begin(), ids.end());
            bool ended = false;
            if (!attempt(outcome, [&] { ended = !m_engine.endThrottles(wanted).empty(); })) {
                outcome.timedOut = Clock::now() >= endBy;
            } else if (!ended) {
                outcome.skipped = true;
            }
            return finished(outcome);
        },
        std::move(done));
}

void EngineJobs::followUplinks() {
    m_thread.post([this] {
        if (!m_stopping) {
            m_engine.followUplinks();
        }
    });
}

void EngineJobs::continueIdsAfter(quint64 lastId) {
    m_engine.continueIdsAfter(lastId);
}

EngineJobs::Outcome EngineJobs::removeLeftovers() {
    const CommandExecutor::CallDeadline deadline(Clock::now() + m_budget.total);
    Outcome outcome;
    if (const auto failure = m_engine.removeLeftovers()) {
        outcome.failure = outcome.cleanupFailure = QString::fromStdString(*failure);
    }
    return finished(outcome);
}

EngineJobs::Outcome EngineJobs::restore(const std::vector<Restored>& throttles) {
    const Clock::time_point arrived = Clock::now();
    Outcome outcome = removeLeftovers();
    if (!outcome.failure.isEmpty() || throttles.empty()) {
        return outcome;
    }
    const CommandExecutor::CallDeadline deadline(arrived + m_budget.forChange());
    std::vector<ThrottlingManager::Throttle> restored;
    for (const Restored& throttle : throttles) {
        restored.push_back({throttle.id, 0, throttle.scope, throttle.parameters,
                            throttle.blocksDownload, throttle.blocksUpload});
    }
    if (!attempt(outcome, [&] { m_engine.restore(restored); })) {
        // Half a restore is no one's: whatever it made goes again.
        Outcome undo;
        CommandExecutor::CallDeadline rest(arrived + m_budget.total);
        attempt(undo, [this] { m_engine.disableThrottling(); });
        outcome.cleanupFailure = undo.cleanupFailure;
    }
    return finished(outcome);
}

bool EngineJobs::stop(std::chrono::milliseconds limit) {
    m_stopping = true;
    m_thread.post([this] {
        m_steps.stopAll();
        m_engine.shutDown();
    });
    const bool done = m_thread.finish(limit);
    if (done) {
        // The outcomes of the jobs answered as skipped, each owing a reply.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return done;
}

void EngineJobs::post(std::function<Outcome()> job, Done done) {
    m_thread.post([this, job = std::move(job), done = std::move(done)]() mutable {
        Outcome outcome;
        if (m_stopping) {
            outcome.failure = QStringLiteral("The helper is stopping");
            outcome.skipped = true;
        } else {
            outcome = job();
        }
        // Moved on, so that what `done` holds is let go on the main thread.
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done), outcome] {
                try {
                    done(outcome);
                } catch (...) {
                    // Replying failed for lack of memory: the caller's bus
                    // call times out, the daemon carries on.
                }
            },
            Qt::QueuedConnection);
        // While the caller reads its reply.
        if (!m_stopping) {
            m_engine.prepareForChange();
        }
    });
}

EngineJobs::Outcome EngineJobs::turnCameTooLate() const {
    // Nothing is started that would have to be undone at once.
    Outcome outcome;
    outcome.failure = timedOutText();
    outcome.timedOut = true;
    outcome.skipped = true;
    return finished(outcome);
}

EngineJobs::Outcome EngineJobs::runEnable(const ThrottleParameters& parameters,
                                          const ThrottleScope& scope,
                                          const ThrottleSchedule& schedule,
                                          Clock::time_point arrived) {
    const Clock::time_point changeBy = arrived + m_budget.forChange();
    if (Clock::now() >= changeBy) {
        return turnCameTooLate();
    }
    Outcome outcome;
    CommandExecutor::CallDeadline deadline(changeBy);
    // Too late to be answered as done: the engine takes back what the change
    // made and shapes again what it joined, in the rest of the call's time.
    bool late = false;
    const auto isLate = [&] {
        if (!late && Clock::now() >= changeBy) {
            late = true;
            deadline.moveTo(arrived + m_budget.total);
        }
        return late;
    };
    const bool succeeded = attempt(outcome, [&] {
        outcome.id = m_engine.enableThrottling(parameters, scope, isLate, schedule);
    });
    if (!succeeded && isLate()) {
        outcome.failure = timedOutText() + QStringLiteral(": ") + outcome.failure;
        outcome.timedOut = true;
    }
    return finished(outcome);
}

EngineJobs::Outcome EngineJobs::runDisable(Clock::time_point endBy) {
    if (Clock::now() >= endBy) {
        return turnCameTooLate();
    }
    Outcome outcome;
    const CommandExecutor::CallDeadline deadline(endBy);
    const bool succeeded = attempt(outcome, [this] { m_engine.disableThrottling(); });
    if (!succeeded && Clock::now() >= endBy) {
        outcome.timedOut = true;
    }
    return finished(outcome);
}

bool EngineJobs::attempt(Outcome& outcome, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const HelperError& error) {
        outcome.failure = QString::fromUtf8(error.what());
        if (error.kind() == HelperError::Kind::cleanupIncomplete) {
            outcome.cleanupFailure = outcome.failure;
        }
    } catch (const std::exception& error) {
        outcome.failure = QString::fromUtf8(error.what());
    } catch (...) {
    }
    // Reached with an empty text only by an error without one.
    if (outcome.failure.isEmpty()) {
        outcome.failure = QStringLiteral("Unknown error");
    }
    return false;
}

EngineJobs::Outcome EngineJobs::finished(Outcome outcome) const {
    outcome.cutShort = !outcome.failure.isEmpty() && m_stopping;
    outcome.active = m_engine.isActive();
    outcome.throttles.clear();
    for (const auto& throttle : m_engine.throttles()) {
        outcome.throttles.push_back(throttle.id);
    }
    return outcome;
}
