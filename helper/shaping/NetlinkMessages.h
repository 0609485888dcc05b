// SPDX-License-Identifier: MIT
#pragma once

#include <linux/netlink.h>

// NLMSG_OK compares the kernel's unsigned message length with the signed
// count of bytes left, which one compiler warns about inside the macro; this
// is the same test with the sign made explicit (left is never negative when
// the length is compared).
inline bool netlinkMessageFits(const nlmsghdr* message, int left) {
    return left >= static_cast<int>(sizeof(nlmsghdr)) && message->nlmsg_len >= sizeof(nlmsghdr) &&
           message->nlmsg_len <= static_cast<unsigned>(left);
}
