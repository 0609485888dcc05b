// SPDX-License-Identifier: MIT
#include "SystemInterfaceList.h"

#include <algorithm>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

std::vector<NetworkInterface> SystemInterfaceList::interfaces() const noexcept {
    std::vector<NetworkInterface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    try {
        // Every link has exactly one AF_PACKET entry, down or without any
        // address too; the address entries would list some links twice and
        // miss others.
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET) {
                continue;
            }
            const NetworkInterface interface {
                entry->ifa_name, (entry->ifa_flags & IFF_UP) != 0,
                    (entry->ifa_flags & IFF_LOOPBACK) != 0
            };
            if (std::find_if(result.begin(), result.end(), [&](const NetworkInterface& known) {
                    return known.name == interface.name;
                }) == result.end()) {
                result.push_back(interface);
            }
        }
    } catch (...) {
        result.clear();
    }
    ::freeifaddrs(list);
    return result;
}
