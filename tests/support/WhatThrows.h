// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <functional>
#include <string>

// The description of what a call throws, or "(no error)" when it returns.
inline std::string whatThrows(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no error)";
}
