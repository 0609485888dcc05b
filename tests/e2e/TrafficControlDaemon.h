// SPDX-License-Identifier: MIT
#pragma once

#include "HelperOnPrivateBus.h"

#include <gtest/gtest.h>

// The sandboxed daemon shaping eth7 alone with traffic control, and a client
// on its bus.
class TrafficControlDaemon : public testing::Test {
protected:
    QDBusMessage call(const char* method, const QVariantList& arguments = {}) {
        return HelperOnPrivateBus::call(client, QString::fromLatin1(method), arguments);
    }

    HelperOnPrivateBus helper{{{"--backend", "tc", "--interfaces", "eth7"}, std::nullopt, {}}};
    QDBusConnection client = helper.bus().connect("client");
};
