// SPDX-License-Identifier: MIT
#include "ProfileFormData.h"

#include "HelperProtocol.h"
#include "NumberText.h"

namespace {

void showBandwidth(const std::optional<Bandwidth>& bandwidth, QString& speed, BandwidthUnit& unit,
                   bool& enabled) {
    enabled = bandwidth.has_value();
    speed = enabled ? QString::number(bandwidth->value) : QString();
    unit = enabled ? bandwidth->unit : BandwidthUnit::mbps;
}

void showWholeNumber(const std::optional<std::int64_t>& number, QString& text, bool& enabled) {
    enabled = number.has_value();
    text = enabled ? QString::number(*number) : QString();
}

std::optional<std::int64_t> wholeNumberField(bool enabled, const QString& text) {
    if (!enabled || text.isEmpty()) {
        return std::nullopt;
    }
    return NumberText::wholeNumber(NumberText::trimmed(text));
}

// A present zero is how a profile says "none": it opens switched off, like
// an absent one.
void showPercent(const std::optional<double>& percent, QString& text, bool& enabled) {
    enabled = percent && *percent > 0;
    text = enabled ? NumberText::shortestDecimalText(*percent) : QString();
}

// To what the helper shapes: "12.345678" is stored as 12.3457, and no
// denormal reaches the file or the helper.
std::optional<double> percentField(bool enabled, const QString& text) {
    if (!enabled) {
        return std::nullopt;
    }
    const std::optional<double> percent = NumberText::decimalNumber(NumberText::trimmed(text));
    if (!percent) {
        return std::nullopt;
    }
    return NumberText::roundedToSteps(*percent, HelperProtocol::Limits::kPacketLossStepsPerPercent);
}

std::optional<Bandwidth> bandwidthField(bool enabled, const QString& text, BandwidthUnit unit) {
    if (const std::optional<std::int64_t> value = wholeNumberField(enabled, text)) {
        return Bandwidth{*value, unit};
    }
    return std::nullopt;
}

} // namespace

ProfileFormData ProfileFormData::from(const ThrottleProfile& profile) {
    ProfileFormData form;
    form.name = profile.name;
    showBandwidth(profile.downloadBandwidth, form.downloadSpeed, form.downloadUnit,
                  form.hasDownloadLimit);
    showBandwidth(profile.uploadBandwidth, form.uploadSpeed, form.uploadUnit, form.hasUploadLimit);
    showWholeNumber(profile.latency, form.latency, form.hasLatency);
    showWholeNumber(profile.dnsDelay, form.dnsDelay, form.hasDnsDelay);
    showPercent(profile.packetLossPercent, form.packetLoss, form.hasPacketLoss);
    showWholeNumber(profile.jitter, form.jitter, form.hasJitter);
    showPercent(profile.packetLossCorrelationPercent, form.packetLossCorrelation,
                form.hasPacketLossCorrelation);
    showPercent(profile.reorderPercent, form.reorder, form.hasReorder);
    showPercent(profile.duplicatePercent, form.duplicate, form.hasDuplicate);
    form.otherKeys = profile.otherKeys;
    return form;
}

ThrottleProfile ProfileFormData::to(const QUuid& id, bool isBuiltIn) const {
    NetworkConditions conditions;
    conditions.downloadBandwidth = bandwidthField(hasDownloadLimit, downloadSpeed, downloadUnit);
    conditions.uploadBandwidth = bandwidthField(hasUploadLimit, uploadSpeed, uploadUnit);
    conditions.latency = wholeNumberField(hasLatency, latency);
    conditions.packetLossPercent = percentField(hasPacketLoss, packetLoss);
    conditions.dnsDelay = wholeNumberField(hasDnsDelay, dnsDelay);
    conditions.jitter = wholeNumberField(hasJitter, jitter);
    conditions.packetLossCorrelationPercent =
        percentField(hasPacketLossCorrelation, packetLossCorrelation);
    conditions.reorderPercent = percentField(hasReorder, reorder);
    conditions.duplicatePercent = percentField(hasDuplicate, duplicate);
    // The constructor clamps the loss into 0 to 100.
    ThrottleProfile profile(id, NumberText::trimmed(name), conditions, isBuiltIn, true);
    profile.otherKeys = otherKeys;
    return profile;
}
