// SPDX-License-Identifier: MIT
#include "PendingCalls.h"

#include "EngineJobs.h"
#include "HelperProtocol.h"
#include "Logger.h"

#include <utility>

bool PendingCalls::Call::finish(const char* errorName, const QString& failure, quint64 id) {
    if (!answer) {
        return false;
    }
    deadline.reset();
    const Answer once = std::exchange(answer, nullptr);
    once(errorName, failure, id);
    return true;
}

PendingCalls::PendingCalls(const Logger& logger, const EngineJobs* jobs, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_jobs(jobs) {}

std::shared_ptr<PendingCalls::Call> PendingCalls::open(Answer answer) {
    auto call = std::make_shared<Call>();
    call->answer = std::move(answer);
    if (m_jobs) {
        // A belt for the engine's own bound: a job stuck past it still gets
        // its caller an answer.
        call->deadline = std::make_unique<QTimer>();
        call->deadline->setSingleShot(true);
        std::weak_ptr<Call> weak = call;
        connect(call->deadline.get(), &QTimer::timeout, this, [this, weak] {
            if (const auto pending = weak.lock()) {
                m_logger.log("A call was answered at its deadline with its change still running");
                pending->finish(HelperProtocol::Error::kTimedOut, m_jobs->timedOutText());
            }
        });
        call->deadline->start(m_jobs->budget().answer);
    }
    return call;
}
