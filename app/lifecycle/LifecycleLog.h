// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <exception>
#include <functional>

// Where the application's life writes its diagnostic lines: standard output.
using LifecycleLog = std::function<void(const QString&)>;

// The text a failed helper or service call is logged with.
QString describeFailure(const std::exception& error);
