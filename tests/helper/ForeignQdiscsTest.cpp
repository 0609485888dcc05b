// SPDX-License-Identifier: MIT
#include "ForeignQdiscs.h"

#include "TrafficControlFixture.h"
#include "WhatThrows.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

class ForeignQdiscsTest : public TrafficControlFixture {
protected:
    ForeignQdiscs foreign{devices};
};

TEST_F(ForeignQdiscsTest, AnyRootQdiscButTheKernelsOwnAndAnyIngressOrClsactIsAnotherPrograms) {
    // The kernel's own default root qdisc (handle 0:) is nobody's.
    sandbox.answer("tc", "qdisc show dev eth0", 0,
                   "qdisc fq_codel 0: root refcnt 2 limit 10240p\\n"
                   "qdisc fq_codel 0: parent :1 limit 10240p\\n");
    EXPECT_EQ(foreign.refusal("eth0"), std::nullopt);

    for (const auto& [shown, named] :
         {std::pair{"qdisc clsact ffff: parent ffff:fff1 \\n", "clsact ffff: ingress"},
          {"qdisc ingress ffff: parent ffff:fff1 ----------------\\n", "ingress ffff: ingress"},
          {"qdisc htb 1: root refcnt 2 r2q 10 default 0\\n", "htb 1: root"}}) {
        sandbox.clearAnswers();
        sandbox.answer("tc", "qdisc show dev eth0", 0, shown);
        EXPECT_EQ(foreign.refusal("eth0"),
                  std::string("Cannot shape eth0: it carries another program's qdisc (") + named +
                      ")");
    }

    // Qdiscs that cannot be read are not taken for none.
    sandbox.clearAnswers();
    sandbox.answer("tc", "qdisc show dev eth0", 1, "", "Cannot find device \"eth0\"");
    EXPECT_EQ(whatThrows([this] { foreign.refusal("eth0"); }),
              "Command failed: Failed to read the qdiscs of eth0: Cannot find device \"eth0\"");
}

} // namespace
