// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading what tc and dnctl list: lines of words and counters.
namespace ToolListing {

// `text` as a whole number, nothing unless it is all digits.
std::optional<std::uint64_t> wholeNumber(std::string_view text);

// The words of `line`, split at white space.
std::vector<std::string> words(const std::string& line);

} // namespace ToolListing
