// SPDX-License-Identifier: MIT
#include "Destination.h"

#include <gtest/gtest.h>

namespace {

std::string canonical(const char* text) {
    std::string failure;
    const std::optional<Destination> parsed = Destination::parse(text, failure);
    return parsed ? parsed->text() : "! " + failure;
}

TEST(DestinationTest, EveryFormReadsBackAsItsCanonicalText) {
    const std::pair<const char*, const char*> accepted[] = {
        {"api.example.com", "api.example.com"},
        {" API.Example.COM. ", "api.example.com"},
        {"localhost:8080", "localhost:8080"},
        {"10.0.0.0/8", "10.0.0.0/8"},
        // Host bits past the prefix are the network's.
        {"10.1.2.3/8", "10.0.0.0/8"},
        {"192.0.2.7:443", "192.0.2.7:443"},
        {"192.0.2.7/32", "192.0.2.7"},
        {"0.0.0.0/0", "0.0.0.0/0"},
        {":5432", ":5432"},
        {"2001:db8::1", "2001:db8::1"},
        {"[2001:db8::1]:8443", "[2001:db8::1]:8443"},
        {"[2001:DB8:0::1]", "2001:db8::1"},
        {"2001:db8::ff/32", "2001:db8::/32"},
        {"[2001:db8::/32]:443", "[2001:db8::/32]:443"},
        {"x.io:65535", "x.io:65535"},
    };
    for (const auto& [text, expected] : accepted) {
        EXPECT_EQ(canonical(text), expected) << text;
        // What text() writes, parse() reads as the same.
        std::string failure;
        EXPECT_EQ(Destination::parse(canonical(text), failure), Destination::parse(text, failure))
            << text;
    }
}

TEST(DestinationTest, WhatIsNoneOfThemIsRefusedSayingWhy) {
    const std::pair<const char*, const char*> refused[] = {
        {"  ", "A destination cannot be empty"},
        {"api..example.com", "'api..example.com' is not a host name, an address or a network"},
        {"-bad.example.com", "'-bad.example.com' is not a host name, an address or a network"},
        {"999.1.1.1", "'999.1.1.1' is not a host name, an address or a network"},
        {"exa mple.com", "'exa mple.com' is not a host name, an address or a network"},
        {"[10.0.0.1]:80", "'[10.0.0.1]:80' is not a host name, an address or a network"},
        {"host.example/24", "'host.example/24' is not a host name, an address or a network"},
        {"10.0.0.0/33", "'10.0.0.0/33': a network's prefix length is a number from 0 to 32"},
        {"2001:db8::/129", "'2001:db8::/129': a network's prefix length is a number from 0 to 128"},
        {"example.com:0", "'example.com:0': a port is a number from 1 to 65535"},
        {"example.com:65536", "'example.com:65536': a port is a number from 1 to 65535"},
        {":http", "':http': a port is a number from 1 to 65535"},
        {"[2001:db8::1]8443",
         "'[2001:db8::1]8443': an IPv6 address in brackets is [ADDRESS] or [ADDRESS]:PORT"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_EQ(canonical(text), std::string("! ") + message) << text;
    }
    // A name of 254 characters is longer than any the resolver takes.
    EXPECT_EQ(canonical((std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                         std::string(63, 'c') + "." + std::string(62, 'd') + ".io")
                            .c_str())
                  .front(),
              '!');
}

} // namespace
