// SPDX-License-Identifier: MIT
#pragma once

#include "CommandExecutor.h"
#include "EnginePaths.h"
#include "FakeToolSandbox.h"
#include "LogCapture.h"
#include "ToolDevices.h"
#include "TrafficControlTools.h"
#include "Uplinks.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Uplinks a test changes as it goes; `failure` makes reading them fail.
struct UplinkList {
    std::vector<Uplink> uplinks{{"eth0", 2}};
    std::string failure;
};

class ListedUplinks final : public UplinkSource {
public:
    explicit ListedUplinks(std::shared_ptr<UplinkList> list)
        : m_list(std::move(list)) {}
    std::vector<Uplink> uplinks() const override {
        if (!m_list->failure.empty()) {
            throw std::runtime_error(m_list->failure);
        }
        return m_list->uplinks;
    }

private:
    std::shared_ptr<UplinkList> m_list;
};

// What shaping eth0 leaves on record.
inline const std::string kEth0Record = "device vtifb-eth0\nqdisc eth0 root\nqdisc eth0 ingress\n";

// Fake tc and ip in a sandbox, and the runner over them.
class TrafficControlFixture : public testing::Test {
protected:
    // Empty when there is none.
    std::string record() const {
        return sandbox.exists("/run/veltrane/shaping.record")
                   ? sandbox.readFile("/run/veltrane/shaping.record")
                   : std::string();
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
    EnginePaths paths = EnginePaths::underRoot(sandbox.root());
    std::string batchBeside = sandbox.path("/run/veltrane/batch");
    ToolDevices devices{executor, paths.tc, paths.ip, batchBeside};
    TrafficControlTools tools{executor, paths.tc, paths.nft, devices, batchBeside};
    std::shared_ptr<UplinkList> uplinks = std::make_shared<UplinkList>();
};
