// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

// The deadline of waitWithDeadline() passed before the task finished.
class DeadlineExceeded final : public std::runtime_error {
public:
    DeadlineExceeded()
        : std::runtime_error("the operation did not finish in time") {}
};

// Runs a nested event loop until `task` finishes or `deadline` passes, then
// returns its result or rethrows its exception. QCoro's own waitFor() never
// returns when the task throws, and has no deadline. A task still running at
// the deadline goes on by itself; whatever it finishes with is dropped.
template <typename T>
T waitWithDeadline(QCoro::Task<T> task, std::chrono::milliseconds deadline) {
    struct Outcome {
        bool finished = false;
        std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
        std::exception_ptr error;
        QEventLoop* loop = nullptr;
    };
    auto outcome = std::make_shared<Outcome>();
    // The frame keeps its own reference to the outcome: it may outlive this call.
    [](QCoro::Task<T> running, std::shared_ptr<Outcome> into) -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await running;
            } else {
                into->value = co_await running;
            }
        } catch (...) {
            into->error = std::current_exception();
        }
        into->finished = true;
        if (into->loop) {
            into->loop->quit();
        }
    }(std::move(task), outcome);

    if (!outcome->finished) {
        QEventLoop loop;
        QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
        outcome->loop = &loop;
        loop.exec();
        outcome->loop = nullptr;
    }
    if (!outcome->finished) {
        throw DeadlineExceeded();
    }
    if (outcome->error) {
        std::rethrow_exception(outcome->error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*outcome->value);
    }
}
