// SPDX-License-Identifier: MIT
#include "TaskDeadline.h"

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

QCoro::Task<> never() {
    QTimer timer;
    timer.start(1h);
    co_await timer;
}

// Results come back through every other test of this folder.
TEST(TaskDeadlineTest, AnExceptionIsRethrownAndATaskStillRunningAtTheDeadlineEndsTheWait) {
    EXPECT_THROW(waitWithDeadline(failingAfterEvents(), 30s), std::runtime_error);
    EXPECT_THROW(waitWithDeadline(never(), 10ms), DeadlineExceeded);
}

} // namespace
