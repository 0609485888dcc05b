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

// The state dictionary of GetState and StateChanged.
namespace State {
// b: shaping is (or may still be) in force.
inline constexpr const char* kActive = "active";
// t: grows with every change, so a client can tell a stale answer from a
// newer signal.
inline constexpr const char* kSerial = "serial";
// a{sv}, only while active: the parameters in force, keyed by the fields
// of ThrottleParameters.
inline constexpr const char* kConfiguration = "configuration";
// a{sv}, only while active: who switched it on, keyed as below.
inline constexpr const char* kOwner = "owner";
// s, only after a clean-up that could not remove everything.
inline constexpr const char* kFailure = "failure";
} // namespace State

namespace Owner {
// s: the owner's unique bus name.
inline constexpr const char* kBusName = "busName";
// u, u: from the bus's credentials of the caller, never from the caller.
inline constexpr const char* kUid = "uid";
inline constexpr const char* kPid = "pid";
// s: what the client said it is ("Veltrane", "veltranectl run: make test").
inline constexpr const char* kDescription = "description";
// x: when it was switched on, milliseconds since 1970 UTC.
inline constexpr const char* kSince = "since";
// b: removed when the owner's bus connection closes.
inline constexpr const char* kHeld = "held";
} // namespace Owner

// The most of a description the helper keeps; longer ones are refused.
inline constexpr int kMaxDescriptionLength = 200;

// Named errors of the members added beside the nine.
namespace Error {
inline constexpr const char* kNotAuthorized = "com.veltrane.Error.NotAuthorized";
inline constexpr const char* kInvalidArguments = "com.veltrane.Error.InvalidArguments";
inline constexpr const char* kFailed = "com.veltrane.Error.Failed";
inline constexpr const char* kTimedOut = "com.veltrane.Error.TimedOut";
inline constexpr const char* kNotHolder = "com.veltrane.Error.NotHolder";
} // namespace Error

} // namespace HelperProtocol
