// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleError.h"

#include <QCoro/QCoroTask>

#include <optional>

// Runs one helper call and hands back its failure as a ThrottleError, so
// that the caller carries on outside any catch block.
QCoro::Task<std::optional<ThrottleError>> failureOf(QCoro::Task<> call);
