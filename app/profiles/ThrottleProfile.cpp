// SPDX-License-Identifier: MIT
#include "ThrottleProfile.h"

#include "JsonNumbers.h"

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

// Optional keys may be absent or null; anything else must decode.
template <typename T, typename Decode>
bool decodeOptional(const QJsonObject& object, QStringView key, std::optional<T>& field,
                    Decode decode) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        field.reset();
        return true;
    }
    field = decode(value);
    return field.has_value();
}

std::optional<double> decodeDouble(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    return value.toDouble();
}

void insertInteger(QJsonObject& object, const QString& key, std::optional<std::int64_t> value) {
    if (value) {
        object.insert(key, QJsonValue(static_cast<qint64>(*value)));
    }
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

ThrottleProfile::ThrottleProfile(QUuid id, QString name, std::optional<Bandwidth> downloadBandwidth,
                                 std::optional<Bandwidth> uploadBandwidth,
                                 std::optional<std::int64_t> latency,
                                 std::optional<double> packetLossPercent,
                                 std::optional<std::int64_t> dnsDelay, bool isBuiltIn,
                                 bool showInMenu)
    : name(std::move(name))
    , downloadBandwidth(downloadBandwidth)
    , uploadBandwidth(uploadBandwidth)
    , latency(latency)
    , packetLossPercent(clampedLoss(packetLossPercent))
    , dnsDelay(dnsDelay)
    , showInMenu(showInMenu)
    , m_id(id)
    , m_isBuiltIn(isBuiltIn) {}

QString ThrottleProfile::shortDescription() const {
    QStringList parts;
    if (downloadBandwidth) {
        parts << QStringLiteral("D: ") + bandwidthText(*downloadBandwidth);
    }
    if (uploadBandwidth) {
        parts << QStringLiteral("U: ") + bandwidthText(*uploadBandwidth);
    }
    if (latency) {
        parts << QString::number(*latency) + QStringLiteral("ms");
    }
    if (packetLossPercent && *packetLossPercent > 0) {
        // Truncated, not rounded: 2.7 reads "2% loss".
        parts << wholePart(*packetLossPercent) + QStringLiteral("% loss");
    }
    if (dnsDelay) {
        parts << QStringLiteral("DNS: ") + QString::number(*dnsDelay) + QStringLiteral("ms");
    }
    return parts.isEmpty() ? QStringLiteral("No limits") : parts.join(u", ");
}

QString ThrottleProfile::formattedPacketLoss() const {
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

QJsonObject ThrottleProfile::toJson() const {
    QJsonObject object{{QStringLiteral("id"), idText(m_id)},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("isBuiltIn"), m_isBuiltIn},
                       {QStringLiteral("showInMenu"), showInMenu}};
    if (downloadBandwidth) {
        object.insert(QStringLiteral("downloadBandwidth"), downloadBandwidth->toJson());
    }
    if (uploadBandwidth) {
        object.insert(QStringLiteral("uploadBandwidth"), uploadBandwidth->toJson());
    }
    insertInteger(object, QStringLiteral("latency"), latency);
    if (packetLossPercent) {
        object.insert(QStringLiteral("packetLossPercent"), *packetLossPercent);
    }
    insertInteger(object, QStringLiteral("dnsDelay"), dnsDelay);
    return object;
}

std::optional<ThrottleProfile> ThrottleProfile::fromJson(const QJsonValue& json) {
    if (!json.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    const QJsonValue idValue = object.value(u"id");
    const QJsonValue nameValue = object.value(u"name");
    const QJsonValue builtInValue = object.value(u"isBuiltIn");
    const QJsonValue showValue = object.value(u"showInMenu");
    if (!idValue.isString() || !nameValue.isString() || !builtInValue.isBool() ||
        !showValue.isBool()) {
        return std::nullopt;
    }
    const std::optional<QUuid> id = idFromText(idValue.toString());
    if (!id) {
        return std::nullopt;
    }
    ThrottleProfile profile(*id, nameValue.toString(), std::nullopt, std::nullopt, std::nullopt,
                            std::nullopt, std::nullopt, builtInValue.toBool(), showValue.toBool());
    const bool decoded =
        decodeOptional(object, u"downloadBandwidth", profile.downloadBandwidth,
                       Bandwidth::fromJson) &&
        decodeOptional(object, u"uploadBandwidth", profile.uploadBandwidth, Bandwidth::fromJson) &&
        decodeOptional(object, u"latency", profile.latency, JsonNumbers::integer) &&
        decodeOptional(object, u"packetLossPercent", profile.packetLossPercent, decodeDouble) &&
        decodeOptional(object, u"dnsDelay", profile.dnsDelay, JsonNumbers::integer);
    if (!decoded) {
        return std::nullopt;
    }
    return profile;
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
    const auto optionalHash = [](const auto& field) -> size_t {
        return field ? qHash(*field) + 1 : 0;
    };
    const auto bandwidthHash = [](const std::optional<Bandwidth>& field) -> size_t {
        return field ? qHashMulti(0, field->value, static_cast<int>(field->unit)) + 1 : 0;
    };
    return qHashMulti(seed, profile.id(), profile.name, bandwidthHash(profile.downloadBandwidth),
                      bandwidthHash(profile.uploadBandwidth), optionalHash(profile.latency),
                      optionalHash(profile.packetLossPercent), optionalHash(profile.dnsDelay),
                      profile.isBuiltIn(), profile.showInMenu);
}
