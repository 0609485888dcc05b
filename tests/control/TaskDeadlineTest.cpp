// SPDX-License-Identifier: MIT
#include "TaskDeadline.h"

#include <QCoro/QCoroTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace std::chrono_literals;

QCoro::Task<int> afterEvents(int value) {
    QTimer timer;
    timer.start(1ms);
    co_await timer;
    co_return value;
}

QCoro::Task<> failingAfterEvents() {
    co_await afterEvents(0);
    throw std::runtime_error("broken");
}

QCoro::Task<> never() {
    QTimer timer;
    timer.start(1h);
    co_await timer;
}

TEST(TaskDeadlineTest, ResultsAndExceptionsComeBackFromTheNestedLoop) {
    EXPECT_EQ(waitWithDeadline(afterEvents(7), 30s), 7);
    EXPECT_THROW(waitWithDeadline(failingAfterEvents(), 30s), std::runtime_error);
}

TEST(TaskDeadlineTest, ATaskStillRunningAtTheDeadlineEndsTheWait) {
    EXPECT_THROW(waitWithDeadline(never(), 10ms), DeadlineExceeded);
}

} // namespace
