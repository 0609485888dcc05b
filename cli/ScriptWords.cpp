// SPDX-License-Identifier: MIT
#include "ScriptWords.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

namespace {

const std::map<std::string, std::string> kVariables = {{"@interface@", "\"$dev\""},
                                                       {"@ifb@", "\"$ifb\""},
                                                       {"@frame@", "\"$frame\""},
                                                       {"@limit@", "\"$limit\""},
                                                       {"@rate@", "\"${rate}bit\""}};

std::string quoted(const std::string& word) {
    if (const auto variable = kVariables.find(word); variable != kVariables.end()) {
        return variable->second;
    }
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("_.:%/-+").find(c) != std::string_view::npos;
    });
    if (plain) {
        return word;
    }
    std::string text = "'";
    for (const char c : word) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

} // namespace

namespace ScriptWords {

std::string commandLine(const TrafficControlStep& step) {
    std::string line = step.tool == TrafficControlStep::Tool::tc ? "tc" : "ip";
    for (const std::string& argument : step.arguments) {
        line += ' ' + quoted(argument);
    }
    return line;
}

std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }, ' ');
    return text;
}

std::string joined(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& each : texts) {
        text += (text.empty() ? "" : ", ") + each;
    }
    return text;
}

} // namespace ScriptWords
