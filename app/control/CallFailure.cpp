// SPDX-License-Identifier: MIT
#include "CallFailure.h"

QCoro::Task<std::optional<ThrottleError>> failureOf(QCoro::Task<> call) {
    try {
        co_await call;
    } catch (const ThrottleError& error) {
        co_return error;
    } catch (const std::exception& error) {
        co_return ThrottleError::unknown(QString::fromUtf8(error.what()));
    } catch (...) {
        co_return ThrottleError::unknown(QStringLiteral("Unknown error"));
    }
    co_return std::nullopt;
}
