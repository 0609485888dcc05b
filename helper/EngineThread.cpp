// SPDX-License-Identifier: MIT
#include "EngineThread.h"

EngineThread::EngineThread() {
    m_thread.setObjectName(QStringLiteral("engine"));
    m_context.moveToThread(&m_thread);
    m_thread.start();
}

EngineThread::~EngineThread() {
    // Jobs already posted still run: each owes a client its reply.
    QMetaObject::invokeMethod(
        &m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void EngineThread::post(std::function<void()> job) {
    QMetaObject::invokeMethod(&m_context, std::move(job), Qt::QueuedConnection);
}
