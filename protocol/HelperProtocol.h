// SPDX-License-Identifier: MIT
#pragma once

// Wire constants of the helper daemon's bus interface, shared by the daemon
// and its clients. The methods themselves are declared in
// com.veltrane.HelperProtocol.xml.
namespace HelperProtocol {

inline constexpr const char* kServiceName = "com.veltrane.helper";
inline constexpr const char* kObjectPath = "/com/veltrane/helper";
inline constexpr const char* kInterfaceName = "com.veltrane.HelperProtocol";

inline constexpr const char* kVersion = "1.0.0";

// The one key of the configuration dictionary of an active daemon.
inline constexpr const char* kIsActiveKey = "isActive";

} // namespace HelperProtocol
