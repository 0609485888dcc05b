// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Text edits of the main pf configuration: the line that makes pf consult our
// dummynet anchor.
namespace PfConf {

inline constexpr std::string_view kAnchorReferenceLine = "dummynet-anchor \"com.veltrane\"";

bool containsAnchorReference(std::string_view text);

// Puts the reference just before the first filter "anchor" line, since pf
// wants dummynet-anchor rules ahead of filter anchors; at the end when there is
// none.
std::string withAnchorReferenceInserted(std::string_view text);

// Drops every line that is exactly the reference once spaces and tabs are
// trimmed; nothing when the text holds no reference, so the file is left alone.
std::optional<std::string> withoutAnchorReference(std::string_view text);

} // namespace PfConf
