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
    // A present zero loss is how built-in profiles say "no loss"; it opens
    // switched off, like an absent one.
    form.hasPacketLoss = profile.packetLossPercent && *profile.packetLossPercent > 0;
    form.packetLoss = form.hasPacketLoss
                          ? NumberText::shortestDecimalText(*profile.packetLossPercent)
                          : QString();
    return form;
}

ThrottleProfile ProfileFormData::to(const QUuid& id, bool isBuiltIn) const {
    std::optional<double> loss;
    if (hasPacketLoss) {
        loss = NumberText::decimalNumber(NumberText::trimmed(packetLoss));
    }
    // To what the helper shapes: "12.345678" is stored as 12.3457, and no
    // denormal reaches the file or the helper.
    if (loss) {
        loss =
            NumberText::roundedToSteps(*loss, HelperProtocol::Limits::kPacketLossStepsPerPercent);
    }
    // The constructor clamps the loss into 0 to 100.
    return ThrottleProfile(id, NumberText::trimmed(name),
                           bandwidthField(hasDownloadLimit, downloadSpeed, downloadUnit),
                           bandwidthField(hasUploadLimit, uploadSpeed, uploadUnit),
                           wholeNumberField(hasLatency, latency), loss,
                           wholeNumberField(hasDnsDelay, dnsDelay), isBuiltIn, true);
}
