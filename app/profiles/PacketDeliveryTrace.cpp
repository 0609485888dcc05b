// SPDX-License-Identifier: MIT
#include "PacketDeliveryTrace.h"

#include "LinkSafeFile.h"
#include "SharedFile.h"

#include <QByteArrayView>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace PacketDeliveryTrace {

namespace {

constexpr std::int64_t kMillisecondsPerSecond = 1000;

Steps refused(qsizetype line, QString reason) {
    Steps steps;
    steps.line = line;
    steps.reason = std::move(reason);
    return steps;
}

QByteArrayView trimmed(QByteArrayView line) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.isEmpty() && isSpace(line.front())) {
        line = line.sliced(1);
    }
    while (!line.isEmpty() && isSpace(line.back())) {
        line.chop(1);
    }
    return line;
}

bool isDigits(QByteArrayView word) {
    return !word.isEmpty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The word as the user typed it and a space, when it is short and
// printable; a binary file's bytes are not repeated back to a terminal.
QString shown(QByteArrayView word) {
    constexpr qsizetype kLongest = 24;
    const bool printable =
        std::all_of(word.begin(), word.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    return printable && word.size() <= kLongest ? QString::fromLatin1(word) + u' ' : QString();
}

// Digits only; nothing beyond the longest trace, which also keeps a number
// of any length from overflowing.
std::optional<std::int64_t> time(QByteArrayView digits) {
    std::int64_t value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
        if (value > CapacityTrace::kMaxLengthMs) {
            return std::nullopt;
        }
    }
    return value;
}

// Why a line holds no time; empty when it holds one, put in `value`.
QString readTime(QByteArrayView word, std::int64_t& value) {
    if (isDigits(word)) {
        const std::optional<std::int64_t> parsed = time(word);
        if (!parsed) {
            return QStringLiteral("the time %1is past 24 hours, the longest a trace may run")
                .arg(shown(word));
        }
        value = *parsed;
        return {};
    }
    if (word.startsWith('-') && isDigits(word.sliced(1))) {
        return QStringLiteral("the time %1is negative").arg(shown(word));
    }
    const QString text = shown(word);
    return text.isEmpty()
               ? QStringLiteral("not a whole number of milliseconds")
               : QStringLiteral("\"%1\" is not a whole number of milliseconds").arg(text.trimmed());
}

std::int64_t roundedQuotient(std::int64_t dividend, std::int64_t divisor) {
    const std::int64_t magnitude = (std::abs(dividend) + divisor / 2) / divisor;
    return dividend < 0 ? -magnitude : magnitude;
}

// The packets of each step of a loop of `lengthMs` as rates.
Steps rates(const std::vector<std::int64_t>& packets, std::int64_t lengthMs, std::int64_t stepMs,
            qsizetype lastLine) {
    if (static_cast<std::int64_t>(packets.size()) * stepMs > CapacityTrace::kMaxLengthMs) {
        return refused(lastLine, QStringLiteral("in whole steps of %1 ms the trace runs past "
                                                "24 hours")
                                     .arg(stepMs));
    }
    Steps steps;
    steps.lengthMs = lengthMs;
    steps.bytesPerSecond.reserve(packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const std::int64_t startMs = static_cast<std::int64_t>(i) * stepMs;
        const std::int64_t durationMs = std::min(stepMs, lengthMs - startMs);
        // The last step's rate over its own length, kept to whole packets
        // per step as it will be stored.
        const std::int64_t rate =
            durationMs == stepMs
                ? bytesPerSecond(packets[i], stepMs)
                : bytesPerSecond(packetsPerStep(bytesPerSecond(packets[i], durationMs), stepMs),
                                 stepMs);
        if (rate > ParameterLimits::kMaxBandwidthBytesPerSecond) {
            return refused(0, QStringLiteral("the trace delivers more than 10000 Mbps between "
                                             "%1 and %2 ms")
                                  .arg(startMs)
                                  .arg(startMs + durationMs));
        }
        steps.bytesPerSecond.push_back(rate);
    }
    return steps;
}

QString describedFailure(const QString& path, const Steps& steps) {
    return steps.line > 0 ? QStringLiteral("Cannot import %1, line %2: %3")
                                .arg(path)
                                .arg(steps.line)
                                .arg(steps.reason)
                          : QStringLiteral("Cannot import %1: %2").arg(path, steps.reason);
}

Steps read(const QString& path, std::int64_t stepMs) {
    // The store's bound on what it reads, for a file of the same origin.
    const LinkSafeFile::Contents contents = LinkSafeFile::read(path, SharedFile::kMaxSize);
    switch (contents.status) {
    case LinkSafeFile::Contents::Status::missing:
        return refused(0, QStringLiteral("there is no such file"));
    case LinkSafeFile::Contents::Status::tooLarge:
        return refused(0, QStringLiteral("larger than 16 MiB, too large for a trace file"));
    case LinkSafeFile::Contents::Status::failed:
        return refused(0, contents.error);
    case LinkSafeFile::Contents::Status::read:
        break;
    }
    return parse(contents.bytes, stepMs);
}

std::optional<Summary::Direction> summarised(const std::vector<std::int64_t>& rates,
                                             std::int64_t stepMs) {
    if (rates.empty()) {
        return std::nullopt;
    }
    const auto count = static_cast<std::int64_t>(rates.size());
    // Each rate is at most the helper's 1.25e9 in anything it plays, and
    // 24 hours hold fewer than a million steps: the sum fits.
    const std::int64_t sum = std::accumulate(rates.begin(), rates.end(), std::int64_t{0});
    const auto [lowest, highest] = std::minmax_element(rates.begin(), rates.end());
    return Summary::Direction{count * stepMs, roundedQuotient(sum, count), *lowest, *highest};
}

} // namespace

Steps parse(const QByteArray& bytes, std::int64_t stepMs) {
    std::vector<std::int64_t> packets;
    std::int64_t previous = -1;
    // The chances at the last time seen so far, which belong to the next
    // loop's first step if that time turns out to be the last.
    std::int64_t atPrevious = 0;
    qsizetype lineNumber = 0;
    qsizetype lastLine = 0;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            end = bytes.size();
        }
        ++lineNumber;
        const QByteArrayView word = trimmed(QByteArrayView(bytes).sliced(start, end - start));
        start = end + 1;
        if (word.isEmpty()) {
            continue;
        }
        std::int64_t value = 0;
        if (const QString reason = readTime(word, value); !reason.isEmpty()) {
            return refused(lineNumber, reason);
        }
        if (value < previous) {
            return refused(
                lineNumber,
                QStringLiteral("the time goes backwards (%1 after %2)").arg(value).arg(previous));
        }
        const auto step = static_cast<std::size_t>(value / stepMs);
        if (step >= packets.size()) {
            packets.resize(step + 1, 0);
        }
        ++packets[step];
        atPrevious = value == previous ? atPrevious + 1 : 1;
        previous = value;
        lastLine = lineNumber;
    }
    if (previous < 0) {
        return refused(0, QStringLiteral("the file holds no times"));
    }
    if (previous == 0) {
        return refused(lastLine, QStringLiteral("every time is 0, so the trace has no length"));
    }
    packets[static_cast<std::size_t>(previous / stepMs)] -= atPrevious;
    packets[0] += atPrevious;
    packets.resize(static_cast<std::size_t>((previous + stepMs - 1) / stepMs));
    return rates(packets, previous, stepMs, lastLine);
}

Imported importFiles(const QString& downloadPath, const QString& uploadPath, std::int64_t stepMs) {
    Imported imported;
    if (stepMs < CapacityTrace::kMinStepMs || stepMs > CapacityTrace::kMaxStepMs) {
        imported.error = QStringLiteral("The steps of a trace are %1 to %2 ms long, not %3 ms")
                             .arg(CapacityTrace::kMinStepMs)
                             .arg(CapacityTrace::kMaxStepMs)
                             .arg(stepMs);
        return imported;
    }
    if (downloadPath.isEmpty() && uploadPath.isEmpty()) {
        imported.error = QStringLiteral("Choose a trace file for at least one direction");
        return imported;
    }
    imported.trace.stepMs = stepMs;
    const std::pair<const QString&, std::vector<std::int64_t>&> directions[] = {
        {downloadPath, imported.trace.downloadBytesPerSecond},
        {uploadPath, imported.trace.uploadBytesPerSecond},
    };
    for (const auto& [path, rates] : directions) {
        if (path.isEmpty()) {
            continue;
        }
        Steps steps = read(path, stepMs);
        if (!steps.ok()) {
            return {{}, describedFailure(path, steps)};
        }
        rates = std::move(steps.bytesPerSecond);
    }
    return imported;
}

std::int64_t bytesPerSecond(std::int64_t packets, std::int64_t durationMs) {
    const std::int64_t held = std::clamp(packets, -kMaxPacketsPerStep, kMaxPacketsPerStep);
    // At most 1e12 packets times 1.5e6: within 64 bits.
    return roundedQuotient(held * kPacketBytes * kMillisecondsPerSecond, durationMs);
}

std::int64_t packetsPerStep(std::int64_t bytesPerSecond, std::int64_t stepMs) {
    // In long double, whose 64-bit mantissa holds every product of a rate
    // the helper plays and a step exactly; what no step could hold is held
    // at the bound before it is made an integer again.
    const long double packets =
        static_cast<long double>(bytesPerSecond) * stepMs / (kPacketBytes * kMillisecondsPerSecond);
    const auto bound = static_cast<long double>(kMaxPacketsPerStep);
    return std::llround(std::clamp(packets, -bound, bound));
}

std::int64_t Summary::lengthMs() const {
    return std::max(download ? download->lengthMs : 0, upload ? upload->lengthMs : 0);
}

Summary summary(const CapacityTrace& trace) {
    return {summarised(trace.downloadBytesPerSecond, trace.stepMs),
            summarised(trace.uploadBytesPerSecond, trace.stepMs)};
}

} // namespace PacketDeliveryTrace
