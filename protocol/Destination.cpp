// SPDX-License-Identifier: MIT
#include "Destination.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <charconv>

namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Digits only, within [minimum, maximum].
std::optional<int> number(std::string_view text, int minimum, int maximum) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value >= minimum && value <= maximum ? std::optional<int>(value) : std::nullopt;
}

// Labels of letters, digits and hyphens, none starting or ending with a
// hyphen; a name whose last label is all digits is a mistyped address.
bool isHostName(std::string_view name) {
    if (name.empty() || name.size() > 253) {
        return false;
    }
    if (name.back() == '.') {
        name.remove_suffix(1);
    }
    std::string_view last;
    while (!name.empty()) {
        const size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
            })) {
            return false;
        }
        last = label;
        name = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    }
    return !std::all_of(last.begin(), last.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

} // namespace

Destination Destination::network(bool isIPv6, const std::array<std::uint8_t, 16>& address,
                                 int prefixLength, std::optional<std::uint16_t> port) {
    Destination destination;
    destination.kind = Kind::network;
    destination.isIPv6 = isIPv6;
    destination.prefixLength = prefixLength;
    destination.port = port;
    const int bytes = isIPv6 ? 16 : 4;
    for (int i = 0; i < bytes; ++i) {
        const int kept = std::clamp(prefixLength - 8 * i, 0, 8);
        destination.address[i] = address[i] & static_cast<std::uint8_t>(0xff00 >> kept);
    }
    return destination;
}

std::optional<Destination> Destination::parse(std::string_view text, std::string& failure) {
    const std::string_view whole = trimmed(text);
    std::string_view host = whole;
    std::optional<std::uint16_t> port;
    bool bracketed = false;
    const auto portFrom = [&](std::string_view digits) {
        if (const std::optional<int> value = number(digits, 1, 65535)) {
            port = static_cast<std::uint16_t>(*value);
            return true;
        }
        failure = quoted(whole) + ": a port is a number from 1 to 65535";
        return false;
    };
    if (host.empty()) {
        failure = "A destination cannot be empty";
        return std::nullopt;
    }
    if (host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos ||
            (close + 1 < host.size() && host[close + 1] != ':')) {
            failure =
                quoted(whole) + ": an IPv6 address in brackets is [ADDRESS] or [ADDRESS]:PORT";
            return std::nullopt;
        }
        if (close + 1 < host.size() && !portFrom(host.substr(close + 2))) {
            return std::nullopt;
        }
        host = host.substr(1, close - 1);
        bracketed = true;
    } else if (const size_t colon = host.rfind(':');
               colon != std::string_view::npos && host.find(':') == colon) {
        // One colon: a port after a name or an IPv4 address; more are IPv6.
        if (!portFrom(host.substr(colon + 1))) {
            return std::nullopt;
        }
        host = host.substr(0, colon);
        if (host.empty()) {
            Destination any;
            any.port = port;
            return any;
        }
    }

    std::string_view addressPart = host;
    std::optional<int> prefix;
    if (const size_t slash = host.find('/'); slash != std::string_view::npos) {
        addressPart = host.substr(0, slash);
        const bool v6 = addressPart.find(':') != std::string_view::npos;
        prefix = number(host.substr(slash + 1), 0, v6 ? 128 : 32);
        if (!prefix) {
            failure = quoted(whole) + ": a network's prefix length is a number from 0 to " +
                      (v6 ? "128" : "32");
            return std::nullopt;
        }
    }
    const std::string address(addressPart);
    std::array<std::uint8_t, 16> bytes{};
    if (::inet_pton(AF_INET, address.c_str(), bytes.data()) == 1 && !bracketed) {
        return network(false, bytes, prefix.value_or(32), port);
    }
    if (::inet_pton(AF_INET6, address.c_str(), bytes.data()) == 1) {
        return network(true, bytes, prefix.value_or(128), port);
    }
    if (!prefix && !bracketed && isHostName(address)) {
        Destination name;
        name.kind = Kind::hostName;
        name.hostName = address;
        std::transform(name.hostName.begin(), name.hostName.end(), name.hostName.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name.hostName.back() == '.') {
            name.hostName.pop_back();
        }
        name.port = port;
        return name;
    }
    failure = quoted(whole) + " is not a host name, an address or a network";
    return std::nullopt;
}

std::string Destination::addressText() const {
    switch (kind) {
    case Kind::anyAddress:
        return {};
    case Kind::hostName:
        return hostName;
    case Kind::network:
        break;
    }
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(isIPv6 ? AF_INET6 : AF_INET, address.data(), text, sizeof text);
    std::string result = text;
    if (prefixLength != (isIPv6 ? 128 : 32)) {
        result += "/" + std::to_string(prefixLength);
    }
    return result;
}

std::string Destination::text() const {
    const std::string where = addressText();
    if (!port) {
        return where;
    }
    const bool bracket = kind == Kind::network && isIPv6;
    return (bracket ? "[" + where + "]" : where) + ":" + std::to_string(*port);
}
