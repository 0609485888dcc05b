// SPDX-License-Identifier: MIT
#include "EngineThread.h"

EngineThread::EngineThread() {
    m_thread.setObjectName(QStringLiteral("engine"));
    m_context.moveToThread(&m_thread);
    m_thread.start();
}

EngineThread::~EngineThread() {
    // Jobs already posted still run: each owes a client its reply.
    finish(std::chrono::milliseconds::max());
}

void EngineThread::post(std::function<void()> job) {
    QMetaObject::invokeMethod(&m_context, std::move(job), Qt::QueuedConnection);
}

bool EngineThread::finish(std::chrono::milliseconds limit) {
    QMetaObject::invokeMethod(
        &m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    if (limit == std::chrono::milliseconds::max()) {
        return m_thread.wait();
    }
    return m_thread.wait(QDeadlineTimer(limit.count()));
}
