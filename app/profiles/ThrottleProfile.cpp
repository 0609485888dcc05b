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

ThrottleProfile preset(int number, const char* name, std::optional<Bandwidth> download,
                       std::optional<Bandwidth> upload, std::optional<std::int64_t> latency,
                       double loss, std::optional<std::int64_t> dnsDelay) {
    const QUuid id = QUuid::fromString(
        QStringLiteral("00000000-0000-0000-0000-%1").arg(number, 12, 16, QLatin1Char('0')));
    return ThrottleProfile(id, QString::fromUtf8(name), download, upload, latency, loss, dnsDelay,
                           true, true);
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
    return ProfileDestinations::summary(destinations);
}

QString ThrottleProfile::conditionsDescription() const {
    const NetworkConditions& c = conditions;
    QStringList parts;
    if (c.downloadBandwidth) {
        parts << QStringLiteral("D: ") + bandwidthText(*c.downloadBandwidth);
    }
    if (c.uploadBandwidth) {
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
    return qHashMulti(seed, profile.id(), profile.name, conditions, destinations,
                      profile.isBuiltIn(), profile.showInMenu, qHash(profile.otherKeys));
}
