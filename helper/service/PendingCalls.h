// SPDX-License-Identifier: MIT
#pragma once

#include "DelayedReply.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class EngineJobs;
class Logger;

// The calls that change throttling, each answered exactly once: by its
// outcome, or at the end of its budget, whichever comes first.
class PendingCalls final : public QObject {
    Q_OBJECT

public:
    // How a changing call is answered: an empty failure means success; the
    // error name is for the members that send named errors, the id of the
    // throttle switched on for those that answer with it.
    using Answer = std::function<void(const char* errorName, const QString& failure, quint64 id)>;

    struct Call {
        Answer answer;
        std::unique_ptr<QTimer> deadline;

        // False when the call was answered already.
        bool finish(const char* errorName, const QString& failure, quint64 id = 0);
    };

    // The answer of the members that report a failure as a named bus error.
    template <typename... Outs>
    static Answer namedErrorsTo(const DelayedReply<Outs...>& reply) {
        return [reply](const char* errorName, const QString& failure, quint64 id) {
            if (!failure.isEmpty()) {
                reply.sendError(QString::fromLatin1(errorName), failure);
            } else if constexpr (sizeof...(Outs) == 0) {
                Q_UNUSED(id);
                reply.send();
            } else {
                reply.send(id);
            }
        };
    }

    // `jobs` may be null: without an engine every call is answered at once.
    PendingCalls(const Logger& logger, const EngineJobs* jobs, QObject* parent = nullptr);

    std::shared_ptr<Call> open(Answer answer);

private:
    const Logger& m_logger;
    const EngineJobs* const m_jobs;
};
