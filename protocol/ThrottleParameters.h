// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// What the helper accepts of each throttling parameter; clients refuse more
// before anything is sent, so a stored profile never fails only on apply.
namespace ParameterLimits {
inline constexpr std::int64_t kMaxBandwidthBytesPerSecond = 1'250'000'000; // 10 Gbit/s
inline constexpr std::int64_t kMaxLatencyMs = 10'000;
inline constexpr std::int64_t kMaxDnsDelayMs = 30'000;
// Every percentage is shaped in steps of 1/10000 percent (0.0001 %); finer
// figures are rounded to a whole step.
inline constexpr std::int64_t kPercentStepsPerPercent = 10'000;
// A loss correlation of C makes the packet after a lost one lost with the
// chance L + C(1 - L); at 100 % the first loss would never end, and past 99 %
// netem's 32-bit chances cannot hold the smallest loss's way into a run.
inline constexpr double kMaxLossCorrelationPercent = 99.0;
// Reordered packets are sent ahead of the inbound half of the latency, so
// that half needs at least a millisecond.
inline constexpr std::int64_t kMinReorderLatencyMs = 2;
} // namespace ParameterLimits

// One throttling request in the helper's units: bytes per second,
// milliseconds and percent. Zero means "no limit" or "none". Every program
// carries it whole; each condition is described once, in fields().
struct ThrottleParameters {
    std::int64_t downloadBytesPerSecond = 0;
    std::int64_t uploadBytesPerSecond = 0;
    std::int64_t latencyMs = 0;
    double packetLossPercent = 0.0;
    std::int64_t dnsDelayMs = 0;
    // Optional: only the dictionary of named parameters carries them, and
    // only when set. The original methods leave them at zero.
    std::int64_t jitterMs = 0;
    double lossCorrelationPercent = 0.0;
    double reorderPercent = 0.0;
    double duplicatePercent = 0.0;

    // One parameter: how the bus, the log and messages name it, its type
    // and its limit. Every codec and check goes over this one list, so a new
    // field cannot be forgotten by one of them.
    struct Field {
        // Its key in the bus dictionary, the state and the owner record.
        const char* key;
        // Exactly one is set: whole numbers travel as x, percentages as d.
        std::int64_t ThrottleParameters::*integer;
        double ThrottleParameters::*real;
        // Sent only when set, absent meaning zero; the others are the five
        // that every client has always sent and read.
        bool optional;
        // "Loss correlation": how messages name it.
        const char* name;
        // "correlation": how the helper's log lines name it.
        const char* logName;
        // "B/s", "ms" or "%".
        const char* unit;
        // The largest value a client may ask for.
        double maximum;

        bool isSet(const ThrottleParameters& parameters) const;
        // The value as the log writes it: a whole number, or the shortest
        // decimal that reads back the same.
        std::string text(const ThrottleParameters& parameters) const;
    };
    static std::span<const Field> fields();
    // The field under `key`; nothing for a key the protocol does not have.
    static const Field* field(std::string_view key);

    // Whether a parameter beyond the five of EnableThrottling is set: only
    // then is the dictionary sent, so that an older helper still serves the
    // rest.
    bool needsNamedParameters() const;

    // The same parameters with every percentage in whole steps.
    ThrottleParameters inSteps() const;

    // The message of the first rule the parameters break, or nothing when
    // they are acceptable. The rules are tried in a fixed order so that a
    // request with several faults always reports the same one.
    std::optional<std::string> check() const;

    // "down=97500B/s up=41250B/s latency=100ms loss=1.0% dns=0ms", then each
    // optional parameter that is set.
    std::string logText() const;

    bool operator==(const ThrottleParameters&) const = default;
};

// A percentage in whole steps of the finest figure the engines ask for
// (0.0001 %): a finer figure (a denormal, say) would only lengthen tool
// arguments and log lines by hundreds of digits that netem's 32-bit
// probability cannot hold.
double percentInSteps(double percent);
