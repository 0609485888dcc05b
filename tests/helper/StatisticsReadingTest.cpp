// SPDX-License-Identifier: MIT
#include "StatisticsReading.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "LogCapture.h"
#include "WaitUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace std::chrono_literals;
using testing::Contains;
using testing::HasSubstr;

namespace {

using Reading = StatisticsReading::Reading;
using Clock = StatisticsReading::Clock;

// The counters a test's reading finds: the number of the reading, so that
// two answers tell whether they came from one reading.
std::vector<ThrottleStatistics> figuresOf(int reading) {
    return {{1, DirectionStatistics{static_cast<std::uint64_t>(reading)}}};
}

class StatisticsReadingTest : public testing::Test {
protected:
    // Reads once, on the reading's thread, held there while `hold` is set.
    std::vector<ThrottleStatistics> readOnce() {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return !hold; });
        const int number = ++reads;
        if (!failure.empty()) {
            throw HelperError::commandFailed(failure);
        }
        return figuresOf(number);
    }
    // Asks, and keeps the answer when it comes.
    std::shared_ptr<std::optional<Reading>> ask() {
        auto answer = std::make_shared<std::optional<Reading>>();
        reading.read([answer](const Reading& read) { *answer = read; });
        return answer;
    }
    Reading answerTo() {
        const auto answer = ask();
        EXPECT_TRUE(waitUntil([&] { return answer->has_value(); }));
        return answer->value_or(Reading{});
    }
    void holdReadings() {
        const std::lock_guard lock(m_mutex);
        hold = true;
    }
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            hold = false;
        }
        m_released.notify_all();
    }

    LogCapture log;
    Clock::time_point now = Clock::now();
    std::atomic<int> reads{0};
    std::string failure;
    bool hold = false;
    StatisticsReading reading{log.logger(), [this] { return readOnce(); }, [this] { return now; }};

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
};

TEST_F(StatisticsReadingTest, ARecentReadingAnswersAtOnceAndAnOlderOneIsReadAgain) {
    const Reading first = answerTo();
    EXPECT_EQ(first.figures, figuresOf(1));
    EXPECT_EQ(first.takenAt, now);

    now += StatisticsReading::kMaxAge - 1ms;
    const auto cached = ask();
    // From the cache: answered inside the call, without the thread.
    ASSERT_TRUE(cached->has_value());
    EXPECT_EQ((*cached)->figures, figuresOf(1));

    now += 1ms;
    EXPECT_EQ(answerTo().figures, figuresOf(2));
    EXPECT_EQ(reads, 2);
}

TEST_F(StatisticsReadingTest, CallersWhileAReadingRunsShareItAndAChangeMakesTheNextOneFresh) {
    holdReadings();
    const auto first = ask();
    const auto second = ask();
    now += 2s;
    const auto third = ask();
    release();
    ASSERT_TRUE(waitUntil([&] { return first->has_value() && third->has_value(); }));
    ASSERT_TRUE(second->has_value());
    EXPECT_EQ(reads, 1);
    EXPECT_EQ((*third)->figures, figuresOf(1));

    // Counters of the shaping before a change are not served after it.
    reading.forget();
    EXPECT_EQ(answerTo().figures, figuresOf(2));

    // Nor is a reading that was running when the change came.
    now += 1s;
    holdReadings();
    const auto during = ask();
    reading.forget();
    release();
    ASSERT_TRUE(waitUntil([&] { return during->has_value(); }));
    EXPECT_EQ((*during)->figures, figuresOf(3));
    EXPECT_EQ(answerTo().figures, figuresOf(4));
}

TEST_F(StatisticsReadingTest, AFailureIsAnsweredWithItsTextAndLoggedOnceWhileItLasts) {
    failure = "tc: cannot open netlink socket";
    EXPECT_EQ(answerTo().failure, "Command failed: tc: cannot open netlink socket");
    now += 1s;
    EXPECT_EQ(answerTo().failure, "Command failed: tc: cannot open netlink socket");
    failure.clear();
    now += 1s;
    EXPECT_TRUE(answerTo().failure.isEmpty());
    failure = "tc: cannot open netlink socket";
    now += 1s;
    answerTo();

    int logged = 0;
    for (const std::string& line : log.messages()) {
        logged += line.find("Cannot read the shaping's statistics") != std::string::npos;
    }
    EXPECT_EQ(logged, 2);
}

TEST(StatisticsReadingBound, AToolThatHangsHoldsItsReadersNoLongerThanTheTimeLimit) {
    FakeToolSandbox sandbox;
    sandbox.answer("tc", "*", 0, "", "", 20);
    LogCapture log;
    const CommandExecutor executor(log.logger());
    StatisticsReading reading(log.logger(), [&] {
        executor.execute(sandbox.path("/usr/sbin/tc"), {"-s", "qdisc", "show"});
        return std::vector<ThrottleStatistics>{};
    });
    std::optional<Reading> answer;
    const auto asked = Clock::now();
    reading.read([&answer](const Reading& read) { answer = read; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, 10s));
    EXPECT_LT(Clock::now() - asked, StatisticsReading::kTimeLimit + 2s);
    EXPECT_THAT(answer->failure.toStdString(), HasSubstr("ran out of time"));
}

} // namespace
