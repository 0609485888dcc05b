// SPDX-License-Identifier: MIT
#pragma once

// Wire constants of the helper daemon's bus interface, shared by the daemon
// and its clients. The methods themselves are declared in
// com.veltrane.HelperProtocol.xml.
#include <cstdint>

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
// a{sv}, only while active: the parameters in force, keyed as below.
inline constexpr const char* kConfiguration = "configuration";
// a{sv}, only while active: who switched it on, keyed as below.
inline constexpr const char* kOwner = "owner";
// s, only after a clean-up that could not remove everything.
inline constexpr const char* kFailure = "failure";
} // namespace State

namespace Configuration {
inline constexpr const char* kDownloadBytesPerSecond = "downloadBytesPerSecond"; // x
inline constexpr const char* kUploadBytesPerSecond = "uploadBytesPerSecond";     // x
inline constexpr const char* kLatencyMs = "latencyMs";                           // x
inline constexpr const char* kPacketLossPercent = "packetLossPercent";           // d
inline constexpr const char* kDnsDelayMs = "dnsDelayMs";                         // x
// Only in the dictionary of EnableThrottlingWithParameters and in the state;
// an absent one is zero.
inline constexpr const char* kJitterMs = "jitterMs";                             // x
inline constexpr const char* kLossCorrelationPercent = "lossCorrelationPercent"; // d
inline constexpr const char* kReorderPercent = "reorderPercent";                 // d
inline constexpr const char* kDuplicatePercent = "duplicatePercent";             // d
} // namespace Configuration

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

// What the helper accepts of each throttling parameter; clients refuse more
// before anything is sent, so a stored profile never fails only on apply.
namespace Limits {
inline constexpr std::int64_t kMaxBandwidthBytesPerSecond = 1'250'000'000; // 10 Gbit/s
inline constexpr std::int64_t kMaxLatencyMs = 10'000;
inline constexpr std::int64_t kMaxDnsDelayMs = 30'000;
// Every percentage (loss, its correlation, reordering, duplication) is
// shaped in steps of 1/10000 percent (0.0001 %); finer figures are rounded
// to a whole step.
inline constexpr std::int64_t kPacketLossStepsPerPercent = 10'000;
// A loss correlation of C makes the packet after a lost one lost with the
// chance L + C(1 - L); at 100 % the first loss would never end, and past 99 %
// netem's 32-bit chances cannot hold the smallest loss's way into a run.
inline constexpr double kMaxLossCorrelationPercent = 99.0;
// Reordered packets are sent ahead of the inbound half of the latency, so
// that half needs at least a millisecond. Jitter may be at most the latency.
inline constexpr std::int64_t kMinReorderLatencyMs = 2;
} // namespace Limits

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
