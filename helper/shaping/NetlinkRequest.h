// SPDX-License-Identifier: MIT
#pragma once

#include "FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <string>
#include <sys/types.h>

// One request to the kernel's routing socket and its acknowledgement, in the
// network namespace of the calling thread, as ip and tc would send it.
namespace Netlink {

// A request of up to a few small attributes, built in place.
struct Request {
    alignas(nlmsghdr) char bytes[512] = {};

    // Set when an attribute did not fit; such a request is never sent.
    bool overflowed = false;

    nlmsghdr* header() { return reinterpret_cast<nlmsghdr*>(bytes); }

    void addAttribute(unsigned short type, const void* data, size_t length) {
        if (NLMSG_ALIGN(header()->nlmsg_len) + RTA_SPACE(length) > sizeof bytes) {
            overflowed = true;
            return;
        }
        auto* attribute = reinterpret_cast<rtattr*>(bytes + NLMSG_ALIGN(header()->nlmsg_len));
        attribute->rta_type = type;
        attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        if (length > 0) {
            std::memcpy(RTA_DATA(attribute), data, length);
        }
        header()->nlmsg_len = NLMSG_ALIGN(header()->nlmsg_len) + RTA_ALIGN(attribute->rta_len);
    }
    // Bytes that are no attribute, such as the fixed options at the head
    // of netem's.
    void addBytes(const void* data, size_t length) {
        if (NLMSG_ALIGN(header()->nlmsg_len) + RTA_ALIGN(length) > sizeof bytes) {
            overflowed = true;
            return;
        }
        std::memcpy(bytes + NLMSG_ALIGN(header()->nlmsg_len), data, length);
        header()->nlmsg_len = NLMSG_ALIGN(header()->nlmsg_len) + RTA_ALIGN(length);
    }
    void addString(unsigned short type, const std::string& text) {
        addAttribute(type, text.c_str(), text.size() + 1);
    }
    rtattr* beginNest(unsigned short type) {
        auto* nest = reinterpret_cast<rtattr*>(bytes + NLMSG_ALIGN(header()->nlmsg_len));
        addAttribute(type, nullptr, 0);
        return nest;
    }
    void endNest(rtattr* nest) {
        if (overflowed) {
            return;
        }
        nest->rta_len = static_cast<unsigned short>(bytes + header()->nlmsg_len -
                                                    reinterpret_cast<char*>(nest));
    }
};

// A routing socket whose refusals carry the kernel's own words. Throws
// std::system_error.
FileDescriptor openSocket();
// One read of answers, past interruptions. Throws std::system_error.
ssize_t receive(int fd, char* buffer, size_t size);
// Sends one request and waits for its acknowledgement. Returns what ip would
// print on a refusal; empty when done. Throws std::system_error.
std::string talk(Request& request);
// The same on an open routing socket, the request numbered `sequence`:
// answers to other numbers are passed over.
std::string talk(int fd, Request& request, std::uint32_t sequence);
// The index of interface `name`, looked up with the routing socket `fd`; 0
// when there is no such interface. Throws std::system_error otherwise.
unsigned interfaceIndex(int fd, const std::string& name);

} // namespace Netlink
