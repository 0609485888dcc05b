// SPDX-License-Identifier: MIT
#include "TaskDeadline.h"

#include "PrivateBus.h"

#include <QCoro/QCoroTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace std::chrono_literals;

QCoro::Task<> failingAfterEvents() {
    QTimer timer;
    timer.start(1ms);
    co_await timer;
    throw std::runtime_error("broken");
}

QCoro::Task<> untilTimeout(QTimer& timer, bool& finished) {
    co_await timer;
    finished = true;
}

// Results come back through every other test of this folder.
TEST(TaskDeadlineTest, AnExceptionIsRethrownAndATaskStillRunningAtTheDeadlineEndsTheWait) {
    EXPECT_THROW(waitWithDeadline(failingAfterEvents(), 30s), std::runtime_error);

    QTimer late;
    late.setSingleShot(true);
    late.start(1h);
    bool finished = false;
    EXPECT_THROW(waitWithDeadline(untilTimeout(late, finished), 10ms), DeadlineExceeded);
    // The abandoned task still ends by itself, as a late reply would end it.
    late.start(0);
    EXPECT_TRUE(waitUntil([&finished] { return finished; }));
}

} // namespace
