// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleSchedule.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// A recorded link in the packet-delivery format: one line per chance to
// deliver one 1500-byte packet, its time in milliseconds from the start, a
// time repeated for each further chance in that millisecond, the whole
// looping at its last time. Imported as rate steps, which is all a profile
// keeps of it.
//
// Read as a loop of period L (the last time): a chance at time L is the next
// loop's chance at 0 and counts in the first step. Blank lines, spaces
// around a time and CRLF line ends are let through; line numbers count
// every line, blank ones too, so that they match an editor's. The last step
// may be shorter than the others: its rate is its packets over its own
// length, to the nearest whole packet per step as every step is stored, and
// the helper plays it for a whole step.
namespace PacketDeliveryTrace {

inline constexpr std::int64_t kPacketBytes = 1500;
// Nothing stored comes near: a step of 1000 packets a millisecond for a
// second is 1e6. Bounds the arithmetic of every conversion below.
inline constexpr std::int64_t kMaxPacketsPerStep = 1'000'000'000'000;

// One direction's file, in steps of stepMs.
struct Steps {
    // Bytes per second of each step in turn; empty when the file is refused.
    std::vector<std::int64_t> bytesPerSecond;
    // The file's last time, where it loops.
    std::int64_t lengthMs = 0;
    // Why the file is refused; empty when it is read. `line` is the line at
    // fault, 0 when no one line is.
    QString reason;
    qsizetype line = 0;

    bool ok() const { return reason.isEmpty(); }
};

Steps parse(const QByteArray& bytes, std::int64_t stepMs);

// The recorded link of one or two files; an empty path leaves that
// direction out, so it keeps the profile's own rate. Files are read as the
// store reads its own: only a regular file, under 16 MiB.
struct Imported {
    CapacityTrace trace;
    // "Cannot import down.trace, line 42: the time goes backwards (1200
    // after 1250)"; empty when both files were read.
    QString error;
};
Imported importFiles(const QString& downloadPath, const QString& uploadPath,
                     std::int64_t stepMs = CapacityTrace::kDefaultStepMs);

// A step's packets as bytes per second over `durationMs`, and back, each to
// the nearest whole number; counts beyond kMaxPacketsPerStep are held
// there.
std::int64_t bytesPerSecond(std::int64_t packets, std::int64_t durationMs);
std::int64_t packetsPerStep(std::int64_t bytesPerSecond, std::int64_t stepMs);

// What the editor shows of a trace, per direction; nothing for a direction
// the trace leaves out.
struct Summary {
    struct Direction {
        // In whole steps: the last one counts whole, as it is played.
        std::int64_t lengthMs = 0;
        // Bytes per second; the mean weighs every step alike.
        std::int64_t mean = 0;
        std::int64_t lowest = 0;
        std::int64_t highest = 0;

        bool operator==(const Direction&) const = default;
    };
    std::optional<Direction> download;
    std::optional<Direction> upload;

    // The longer direction's length.
    std::int64_t lengthMs() const;
};
Summary summary(const CapacityTrace& trace);

} // namespace PacketDeliveryTrace
