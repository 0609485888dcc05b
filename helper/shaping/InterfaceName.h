// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// What the kernel accepts as a link name: 1 to 15 bytes, no slash, colon or
// white space, and not "." or "..". Anything else cannot be a real interface,
// so it never reaches a tool's argument list.
bool isUsableInterfaceName(std::string_view name);

// The IFB device that carries `interfaceName`'s inbound traffic. A name too
// long to fit gets a hash instead, so two interfaces never share a device.
// The change record, not the name, says whether a device is ours.
std::string ifbDeviceName(std::string_view interfaceName);
