// SPDX-License-Identifier: MIT
#include "InterfaceName.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view kIfbPrefix = "vtifb-";
// IFNAMSIZ less the terminating zero.
constexpr size_t kMaxInterfaceName = 15;

// FNV-1a: stable across runs and builds, so a clean-up after a restart finds
// the device an earlier process made.
std::uint32_t stableHash(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

} // namespace

bool isUsableInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxInterfaceName || name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '/' || c == ':') {
            return false;
        }
    }
    return true;
}

std::string ifbDeviceName(std::string_view interfaceName) {
    if (kIfbPrefix.size() + interfaceName.size() <= kMaxInterfaceName) {
        return std::string(kIfbPrefix) + std::string(interfaceName);
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", stableHash(interfaceName));
    return std::string(kIfbPrefix) + hex;
}
