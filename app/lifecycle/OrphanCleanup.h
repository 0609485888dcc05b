// SPDX-License-Identifier: MIT
#pragma once

#include "LifecycleLog.h"
#include "LifecycleNotifier.h"
#include "ServiceRegistration.h"
#include "ThrottleService.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <unistd.h>

// The launch's look at the helper: says why it cannot be used when it
// cannot, and ends each throttle that an earlier run left behind and nobody
// is responsible for any more, by its id. A live holder's throttle, one
// `veltranectl apply` left on, or another user's, is someone's on purpose
// and stays.
class OrphanCleanup final : public QObject {
    Q_OBJECT

public:
    // `userId`: the user this application runs as.
    OrphanCleanup(ServiceRegistration& registration, LifecycleNotifier& notifier, LifecycleLog log,
                  uint userId = ::getuid(), QObject* parent = nullptr);

    QCoro::Task<> run(QPointer<ThrottleService> service);

private:
    ServiceRegistration& m_registration;
    LifecycleNotifier& m_notifier;
    LifecycleLog m_log;
    uint m_userId;
};
