// SPDX-License-Identifier: MIT
#include "HelperReconnect.h"

#include "HelperClient.h"
#include "ThrottleState.h"

#include <exception>

HelperReconnect::HelperReconnect(ThrottleService& service)
    : m_service(&service) {}

void HelperReconnect::applicationBecameActive() {
    if (m_service) {
        reconnect(m_service);
    }
}

QCoro::Task<> HelperReconnect::reconnect(QPointer<ThrottleService> service) {
    service->checkHelperStatus();
    HelperClient& helper = service->helperConnection();
    if (service->state().isHelperReady && !helper.isConnected()) {
        try {
            co_await helper.installHelper();
        } catch (const std::exception&) {
            // The panel and the settings show the helper's state.
        }
    }
}
