// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where scoped throttling applies: a host name, an address or a network,
// each with an optional port, or a port on any address. Written as people
// write them: "api.example.com", "10.0.0.0/8", "192.0.2.7:443", ":5432",
// "[2001:db8::1]:8443".
struct Destination {
    enum class Kind {
        // ":5432": every address, one port.
        anyAddress,
        // Resolved to its addresses when throttling is switched on.
        hostName,
        // An address is a network of one.
        network,
    };

    Kind kind = Kind::anyAddress;
    // The name, lower case, for hostName.
    std::string hostName;
    // For network: 4 bytes of IPv4 or 16 of IPv6, the bits past the
    // prefix cleared.
    bool isIPv6 = false;
    std::array<std::uint8_t, 16> address{};
    int prefixLength = 0;
    std::optional<std::uint16_t> port;

    // Surrounding blanks are ignored. Nothing, and why in `failure`, for
    // text that is none of the forms above.
    static std::optional<Destination> parse(std::string_view text, std::string& failure);
    // A network of `address` (4 or 16 bytes) and `prefixLength`.
    static Destination network(bool isIPv6, const std::array<std::uint8_t, 16>& address,
                               int prefixLength, std::optional<std::uint16_t> port = {});

    // The canonical text that parse() reads back as the same destination:
    // an address without "/32" or "/128", IPv6 in brackets before a port.
    std::string text() const;
    // The address or network alone, without port: "10.0.0.0/8", "2001:db8::1".
    std::string addressText() const;

    bool operator==(const Destination&) const = default;
};
