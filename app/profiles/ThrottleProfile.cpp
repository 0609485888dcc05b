// SPDX-License-Identifier: MIT
#include "ThrottleProfile.h"

#include "NumberText.h"
#include "ProfileDestinations.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

std::optional<double> clampedLoss(std::optional<double> percent) {
    if (percent) {
        return std::clamp(*percent, 0.0, 100.0);
    }
    return std::nullopt;
}

// Decoded records are not clamped, so the loss may be far beyond any integer
// type: format the truncated double instead of converting it.
QString wholePart(double value) {
    return QString::number(std::trunc(value), 'f', 0);
}

QString bandwidthText(const Bandwidth& bandwidth) {
    return QString::number(bandwidth.value) + u' ' + BandwidthUnits::displaySuffix(bandwidth.unit);
}

NetworkConditions fiveConditions(std::optional<Bandwidth> downloadBandwidth,
                                 std::optional<Bandwidth> uploadBandwidth,
                                 std::optional<std::int64_t> latency,
                                 std::optional<double> packetLossPercent,
                                 std::optional<std::int64_t> dnsDelay) {
    NetworkConditions conditions;
    conditions.downloadBandwidth = downloadBandwidth;
    conditions.uploadBandwidth = uploadBandwidth;
    conditions.latency = latency;
    conditions.packetLossPercent = packetLossPercent;
    conditions.dnsDelay = dnsDelay;
    return conditions;
}

// "2.5%": the percentages added beside the loss are shown as stored, since
// their fractions matter ("0.5% reordered" is not "0% reordered").
QString percentText(double percent) {
    return (percent == std::trunc(percent) ? wholePart(percent)
                                           : NumberText::shortestDecimalText(percent)) +
           u'%';
}

QUuid presetId(int number) {
    return QUuid::fromString(
        QStringLiteral("00000000-0000-0000-0000-%1").arg(number, 12, 16, QLatin1Char('0')));
}

ThrottleProfile preset(int number, const char* name, std::optional<Bandwidth> download,
                       std::optional<Bandwidth> upload, std::optional<std::int64_t> latency,
                       double loss, std::optional<std::int64_t> dnsDelay) {
    return ThrottleProfile(presetId(number), QString::fromUtf8(name), download, upload, latency,
                           loss, dnsDelay, true, true);
}

// The built-in profiles whose conditions hold; the scheduled ones play
// their conditions, so a change to "LTE" changes every "LTE" phase too.
const QList<ThrottleProfile>& steadyPresets() {
    using Unit = BandwidthUnit;
    static const QList<ThrottleProfile> table{
        preset(1, "100% Loss", std::nullopt, std::nullopt, std::nullopt, 100, std::nullopt),
        preset(2, "3G", Bandwidth{780, Unit::kbps}, Bandwidth{330, Unit::kbps}, 100, 0,
               std::nullopt),
        preset(3, "3G (Lossy)", Bandwidth{780, Unit::kbps}, Bandwidth{330, Unit::kbps}, 100, 1,
               std::nullopt),
        preset(4, "DSL", Bandwidth{2, Unit::mbps}, Bandwidth{256, Unit::kbps}, 5, 0, std::nullopt),
        preset(5, "Edge", Bandwidth{240, Unit::kbps}, Bandwidth{200, Unit::kbps}, 400, 0,
               std::nullopt),
        preset(6, "High Latency DNS", std::nullopt, std::nullopt, std::nullopt, 0, 3000),
        preset(7, "LTE", Bandwidth{50, Unit::mbps}, Bandwidth{10, Unit::mbps}, 50, 0, std::nullopt),
        preset(8, "Very Bad Network", Bandwidth{1, Unit::mbps}, Bandwidth{1, Unit::mbps}, 500, 10,
               std::nullopt),
        preset(9, "WiFi", Bandwidth{40, Unit::mbps}, Bandwidth{33, Unit::mbps}, 1, 0, std::nullopt),
        preset(10, "WiFi (Lossy)", Bandwidth{40, Unit::mbps}, Bandwidth{33, Unit::mbps}, 1, 1,
               std::nullopt),
    };
    return table;
}

const ThrottleProfile& steadyPreset(int number) {
    return steadyPresets()[number - 1];
}

// A phase of the steady built-in `number`'s conditions, under its name.
ProfilePhase phaseOf(int number, std::int64_t durationMs) {
    const ThrottleProfile& profile = steadyPreset(number);
    return {profile.name, durationMs, profile.conditions, {}};
}

ProfilePhase outage(std::int64_t durationMs) {
    return {QStringLiteral("Outage"), durationMs, std::nullopt, {}};
}

// Its own conditions are none: each phase says what is in force.
ThrottleProfile scheduledPreset(int number, const char* name, std::vector<ProfilePhase> phases,
                                bool repeat) {
    ThrottleProfile profile(presetId(number), QString::fromUtf8(name), NetworkConditions{}, true,
                            true);
    profile.schedule.phases = std::move(phases);
    profile.schedule.repeat = repeat;
    return profile;
}

} // namespace

ThrottleProfile::ThrottleProfile(QUuid id, QString name, const NetworkConditions& conditions,
                                 bool isBuiltIn, bool showInMenu)
    : name(std::move(name))
    , conditions(conditions)
    , showInMenu(showInMenu)
    , m_id(id)
    , m_isBuiltIn(isBuiltIn) {
    this->conditions.packetLossPercent = clampedLoss(this->conditions.packetLossPercent);
}

ThrottleProfile::ThrottleProfile(QUuid id, QString name, std::optional<Bandwidth> downloadBandwidth,
                                 std::optional<Bandwidth> uploadBandwidth,
                                 std::optional<std::int64_t> latency,
                                 std::optional<double> packetLossPercent,
                                 std::optional<std::int64_t> dnsDelay, bool isBuiltIn,
                                 bool showInMenu)
    : ThrottleProfile(
          id, std::move(name),
          fiveConditions(downloadBandwidth, uploadBandwidth, latency, packetLossPercent, dnsDelay),
          isBuiltIn, showInMenu) {}

QString ThrottleProfile::shortDescription() const {
    const QString scope = scopeDescription();
    return scope.isEmpty() ? conditionsDescription()
                           : conditionsDescription() + QStringLiteral(", ") + scope;
}

QString ThrottleProfile::scopeDescription() const {
    if (!application.isEmpty()) {
        return QStringLiteral("only for ") + application;
    }
    return ProfileDestinations::summary(destinations);
}

QString ThrottleProfile::conditionsDescription() const {
    // A phase's conditions are its own; the profile's say nothing of them.
    if (!schedule.phases.empty()) {
        return schedule.description();
    }
    const NetworkConditions& c = conditions;
    QStringList parts;
    if (!schedule.trace.empty()) {
        parts << schedule.description();
    }
    if (c.downloadBandwidth && schedule.trace.downloadBytesPerSecond.empty()) {
        parts << QStringLiteral("D: ") + bandwidthText(*c.downloadBandwidth);
    }
    if (c.uploadBandwidth && schedule.trace.uploadBytesPerSecond.empty()) {
        parts << QStringLiteral("U: ") + bandwidthText(*c.uploadBandwidth);
    }
    if (c.latency) {
        parts << QString::number(*c.latency) + QStringLiteral("ms");
    }
    if (c.jitter.value_or(0) > 0) {
        parts << QStringLiteral("±") + QString::number(*c.jitter) + QStringLiteral("ms jitter");
    }
    if (c.packetLossPercent && *c.packetLossPercent > 0) {
        // Truncated, not rounded: 2.7 reads "2% loss".
        parts << wholePart(*c.packetLossPercent) + QStringLiteral("% loss");
    }
    if (c.packetLossCorrelationPercent.value_or(0.0) > 0.0) {
        parts << percentText(*c.packetLossCorrelationPercent) + QStringLiteral(" loss correlation");
    }
    if (c.reorderPercent.value_or(0.0) > 0.0) {
        parts << percentText(*c.reorderPercent) + QStringLiteral(" reordered");
    }
    if (c.duplicatePercent.value_or(0.0) > 0.0) {
        parts << percentText(*c.duplicatePercent) + QStringLiteral(" duplicated");
    }
    if (c.dnsDelay) {
        parts << QStringLiteral("DNS: ") + QString::number(*c.dnsDelay) + QStringLiteral("ms");
    }
    return parts.isEmpty() ? QStringLiteral("No limits") : parts.join(u", ");
}

QString ThrottleProfile::formattedPacketLoss() const {
    const std::optional<double>& packetLossPercent = conditions.packetLossPercent;
    // Written as "not greater than zero" so that a NaN, which no form lets
    // through, still reads "None" instead of "nan%".
    if (!packetLossPercent || !(*packetLossPercent > 0)) {
        return QStringLiteral("None");
    }
    const double loss = *packetLossPercent;
    if (loss == std::trunc(loss)) {
        return wholePart(loss) + u'%';
    }
    return QString::asprintf("%.1f%%", loss);
}

QString ThrottleProfile::idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> ThrottleProfile::idFromText(const QString& text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenPosition ? c != u'-' : !hex) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(text);
}

const QList<ThrottleProfile>& ThrottleProfile::Preset::profiles() {
    constexpr std::int64_t second = 1000;
    constexpr int lossAll = 1, threeG = 2, threeGLossy = 3, dsl = 4, edge = 5, dns = 6, lte = 7,
                  veryBad = 8, wifi = 9, wifiLossy = 10;
    static const QList<ThrottleProfile> table{
        steadyPreset(lossAll),
        steadyPreset(threeG),
        steadyPreset(threeGLossy),
        // Coverage lost in each tunnel of the line, back on 3G before LTE.
        scheduledPreset(
            11, "Commuter Train",
            {phaseOf(lte, 40 * second), outage(6 * second), phaseOf(threeG, 14 * second)}, true),
        steadyPreset(dsl),
        steadyPreset(edge),
        // One ride: the signal fades as the doors close, is gone between
        // floors and comes back weak. Played once, so the weak link after
        // the outage holds: how an app recovers on it is what this profile
        // is for, and a second ride would cut that short.
        scheduledPreset(13, "Elevator",
                        {phaseOf(lte, 10 * second), phaseOf(edge, 5 * second), outage(20 * second),
                         phaseOf(edge, 10 * second)},
                        false),
        // A dropout of 300 ms every 5 seconds: short enough that a
        // connection survives it, often enough to catch every retry path.
        scheduledPreset(12, "Flaky Wi-Fi", {phaseOf(wifi, 4700), outage(300)}, true),
        steadyPreset(dns),
        steadyPreset(lte),
        steadyPreset(veryBad),
        steadyPreset(wifi),
        steadyPreset(wifiLossy),
    };
    return table;
}

size_t qHash(const ThrottleProfile& profile, size_t seed) {
    size_t conditions = 0;
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        size_t hash = 0;
        if (field.bandwidth != nullptr) {
            if (const auto& bandwidth = profile.conditions.*field.bandwidth) {
                hash = qHashMulti(0, bandwidth->value, static_cast<int>(bandwidth->unit)) + 1;
            }
        } else if (field.milliseconds != nullptr) {
            if (const auto& value = profile.conditions.*field.milliseconds) {
                hash = qHash(*value) + 1;
            }
        } else if (const auto& value = profile.conditions.*field.percent) {
            hash = qHash(*value) + 1;
        }
        conditions = qHashMulti(conditions, hash);
    }
    size_t destinations = 0;
    for (const Destination& destination : profile.destinations) {
        destinations = qHashMulti(destinations, QByteArray::fromStdString(destination.text()));
    }
    // Equal schedules hash alike; the steps and phase conditions are left to
    // the comparison.
    size_t schedule = qHashMulti(0, profile.schedule.repeat, profile.schedule.trace.stepMs,
                                 profile.schedule.trace.downloadBytesPerSecond.size(),
                                 profile.schedule.trace.uploadBytesPerSecond.size());
    for (const ProfilePhase& phase : profile.schedule.phases) {
        schedule = qHashMulti(schedule, phase.name, phase.durationMs, phase.isOutage());
    }
    return qHashMulti(seed, profile.id(), profile.name, conditions, destinations,
                      profile.isBuiltIn(), profile.showInMenu, qHash(profile.otherKeys), schedule);
}
