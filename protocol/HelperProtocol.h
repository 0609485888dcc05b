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
// of ThrottleParameters; of the whole-machine throttle when there is one,
// else of the newest, so that a client that knows one throttle reads
// sensibly.
inline constexpr const char* kConfiguration = "configuration";
// a{sv}, only while active: who switched that throttle on, keyed as below.
inline constexpr const char* kOwner = "owner";
// aa{sv}, only while a throttle is on: every throttle in force, oldest
// first, keyed as in Throttle.
inline constexpr const char* kThrottles = "throttles";
// s, only after a clean-up that could not remove everything.
inline constexpr const char* kFailure = "failure";
} // namespace State

// One throttle of the state's list.
namespace Throttle {
// t: its id, given once in the helper's life; EndThrottle takes it.
inline constexpr const char* kId = "id";
// a{sv}: what it shapes (ScopeDictionary), empty for the whole machine.
inline constexpr const char* kScope = "scope";
// a{sv}: its parameters, as State::kConfiguration.
inline constexpr const char* kConfiguration = "configuration";
// a{sv}: who switched it on, keyed as Owner.
inline constexpr const char* kOwner = "owner";
// a{sv}, only for a throttle with a schedule: where it stands
// (ScheduleDictionary::Standing), announced when its phase changes. Its
// configuration stays the parameters it was switched on with.
inline constexpr const char* kSchedule = "schedule";
} // namespace Throttle

// The key of EnableThrottlingWithParameters' dictionary beside the
// parameters: a{sv}, the scope (ScopeDictionary); absent for the whole
// machine.
inline constexpr const char* kScopeKey = "scope";
// Beside it: a{sv}, the conditions' changes over time (ScheduleDictionary),
// which the helper plays itself; absent for conditions that hold.
inline constexpr const char* kScheduleKey = "schedule";

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

// The dictionary of GetStatistics: what the shaping in force has done, per
// throttle and direction, summed over the shaped uplinks
// (StatisticsDictionary).
namespace Statistics {
// b: shaping is (or may still be) in force; without it nothing else is sent.
inline constexpr const char* kActive = "active";
// t: when the figures were read, in milliseconds of the helper's monotonic
// clock. A rate is the difference of two readings' bytes over theirs.
inline constexpr const char* kTakenAt = "takenAt";
// a{sv} each, keyed as below, of the throttle the state's configuration
// describes; absent when no shaper of that direction was found (being set up
// or taken down just then).
inline constexpr const char* kDownload = "download";
inline constexpr const char* kUpload = "upload";
// aa{sv}: every throttle's own, oldest first, each with its "id" (t) and
// its "download" and "upload" as above.
inline constexpr const char* kThrottles = "throttles";
inline constexpr const char* kId = "id";

// t: what the shaper passed on since it was set up, link-layer headers
// included.
inline constexpr const char* kBytes = "bytes";
inline constexpr const char* kPackets = "packets";
// t: the packets the loss setting dropped and those a full queue dropped,
// together: netem and dummynet count both in one counter.
inline constexpr const char* kDropped = "dropped";
// t: what waits in the shaper now, behind the rate or for its delay.
inline constexpr const char* kQueuedPackets = "queuedPackets";
inline constexpr const char* kQueuedBytes = "queuedBytes";
// t, only where the direction's bandwidth is limited: how long what waits
// takes to leave at that throttle's rate.
inline constexpr const char* kQueueMs = "queueMs";
} // namespace Statistics

// The most of a description the helper keeps; longer ones are refused.
inline constexpr int kMaxDescriptionLength = 200;

// Named errors of the members added beside the nine.
namespace Error {
inline constexpr const char* kNotAuthorized = "com.veltrane.Error.NotAuthorized";
inline constexpr const char* kInvalidArguments = "com.veltrane.Error.InvalidArguments";
inline constexpr const char* kFailed = "com.veltrane.Error.Failed";
inline constexpr const char* kTimedOut = "com.veltrane.Error.TimedOut";
inline constexpr const char* kNotHolder = "com.veltrane.Error.NotHolder";
inline constexpr const char* kNoSuchThrottle = "com.veltrane.Error.NoSuchThrottle";
} // namespace Error

} // namespace HelperProtocol
