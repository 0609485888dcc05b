// SPDX-License-Identifier: MIT
#include "ProfileValidator.h"

#include "HelperProtocol.h"
#include "NameCharacters.h"
#include "NumberText.h"
#include "ProfileNameOrder.h"

namespace {

namespace Limits = HelperProtocol::Limits;

// A switched-off field is not examined, and an empty one is missing; only
// then does the field's own check see the trimmed text.
template <typename Check>
ValidationResult validateEnabled(const QString& value, bool isEnabled, const char* required,
                                 Check check) {
    if (!isEnabled) {
        return ValidationResult::valid();
    }
    const QString text = NumberText::trimmed(value);
    if (text.isEmpty()) {
        return ValidationResult::failure(QString::fromUtf8(required));
    }
    const char* message = check(text);
    return message ? ValidationResult::failure(QString::fromUtf8(message))
                   : ValidationResult::valid();
}

struct MillisecondsMessages {
    const char* required;
    const char* notANumber;
    const char* negative;
    const char* tooLong;
};

ValidationResult validateMilliseconds(const QString& value, bool isEnabled, std::int64_t maximum,
                                      const MillisecondsMessages& messages) {
    const QString tooLong = QString::fromUtf8(messages.tooLong).arg(maximum);
    const QByteArray tooLongText = tooLong.toUtf8();
    return validateEnabled(
        value, isEnabled, messages.required, [&](const QString& text) -> const char* {
            const std::optional<std::int64_t> number = NumberText::wholeNumber(text);
            if (!number) {
                return messages.notANumber;
            }
            if (*number < 0) {
                return messages.negative;
            }
            return *number > maximum ? tooLongText.constData() : nullptr;
        });
}

// A percentage of packets, in the helper's steps, of at most `maximum`.
// `what` starts each message.
ValidationResult validatePercentage(const QString& value, bool isEnabled, const char* what,
                                    double maximum = 100) {
    constexpr std::int64_t steps = Limits::kPacketLossStepsPerPercent;
    // "0.0001": as many decimals as the step has zeros.
    const QString step = QString::number(1.0 / steps, 'f', QString::number(steps).size() - 1);
    const QString subject = QString::fromUtf8(what);
    const QByteArray required = (subject + QStringLiteral(" value is required")).toUtf8();
    const QByteArray notANumber = (subject + QStringLiteral(" must be a valid number")).toUtf8();
    const QByteArray outOfRange =
        (subject + QStringLiteral(" must be between 0 and %1").arg(maximum)).toUtf8();
    const QByteArray tooSmall =
        (subject + QStringLiteral(" must be 0 or at least %1").arg(step)).toUtf8();
    return validateEnabled(
        value, isEnabled, required.constData(), [&](const QString& text) -> const char* {
            const std::optional<double> number = NumberText::decimalNumber(text);
            if (!number) {
                return notANumber.constData();
            }
            const bool inRange = *number >= 0 && *number <= maximum; // false for NaN
            if (!inRange) {
                return outOfRange.constData();
            }
            // Finer figures are rounded when saved; one that
            // rounds to none at all is not what was asked.
            const bool roundsAway = *number > 0 && NumberText::roundedToSteps(*number, steps) == 0;
            return roundsAway ? tooSmall.constData() : nullptr;
        });
}

// The value of a switched-on field that passed its own check; 0 otherwise.
template <typename Number, typename Parse>
Number enabledValue(bool isEnabled, const QString& text, Parse parse) {
    if (!isEnabled) {
        return 0;
    }
    return parse(NumberText::trimmed(text)).value_or(0);
}

using Field = ProfileValidationResult::ProfileField;

// Appends a failed check to the flat list with its prefix and to the field
// map without it; the first message for a field wins.
void record(ProfileValidationResult& result, const ValidationResult& check, Field field,
            const QString& prefix = {}) {
    if (check.isValid) {
        return;
    }
    const QString message = check.message.value_or(QString());
    result.errors << prefix + message;
    result.fieldErrors.try_emplace(field, message);
}

// The bounds the conditions set one another, as the helper checks them;
// a field whose own check failed has said so already.
void recordDependencies(ProfileValidationResult& result, const ProfileFormData& form) {
    const auto whole = [](const QString& text) { return NumberText::wholeNumber(text); };
    const auto decimal = [](const QString& text) { return NumberText::decimalNumber(text); };
    const auto latency = enabledValue<std::int64_t>(form.hasLatency, form.latency, whole);
    const auto jitter = enabledValue<std::int64_t>(form.hasJitter, form.jitter, whole);
    const auto loss = enabledValue<double>(form.hasPacketLoss, form.packetLoss, decimal);
    const auto correlation =
        enabledValue<double>(form.hasPacketLossCorrelation, form.packetLossCorrelation, decimal);
    const auto reorder = enabledValue<double>(form.hasReorder, form.reorder, decimal);
    if (jitter > 0 && jitter > latency && jitter <= Limits::kMaxLatencyMs) {
        record(result,
               ValidationResult::failure(
                   latency > 0
                       ? QStringLiteral("Jitter cannot exceed the latency (%1 ms)").arg(latency)
                       : QStringLiteral("Jitter needs a latency at least as large")),
               Field::jitter, QStringLiteral("Jitter: "));
    }
    if (correlation > 0 && correlation <= Limits::kMaxLossCorrelationPercent && !(loss > 0)) {
        record(result,
               ValidationResult::failure(QStringLiteral("Loss correlation needs a packet loss")),
               Field::packetLossCorrelation, QStringLiteral("Loss Correlation: "));
    }
    if (reorder > 0 && reorder <= 100 && latency < Limits::kMinReorderLatencyMs) {
        record(
            result,
            ValidationResult::failure(QStringLiteral("Reordering needs a latency of at least %1 ms")
                                          .arg(Limits::kMinReorderLatencyMs)),
            Field::reorder, QStringLiteral("Reordering: "));
    }
}

} // namespace

ValidationResult ProfileValidator::validateName(const QString& name) {
    const QString trimmed = NumberText::trimmed(name);
    if (trimmed.isEmpty()) {
        return ValidationResult::failure(QStringLiteral("Profile name cannot be empty"));
    }
    const QList<char32_t> characters = NameCharacters::codePoints(trimmed);
    if (characters.size() > NameCharacters::kMaxLength) {
        return ValidationResult::failure(
            QStringLiteral("Profile name cannot be longer than %1 characters")
                .arg(NameCharacters::kMaxLength));
    }
    for (const char32_t c : characters) {
        if (NameCharacters::isHidden(c)) {
            return ValidationResult::failure(
                QStringLiteral("Profile name cannot contain control, invisible formatting or "
                               "unassigned characters (%1)")
                    .arg(NameCharacters::codePointText(c)));
        }
    }
    return ValidationResult::valid();
}

ValidationResult ProfileValidator::validateNameUniqueness(const QString& name,
                                                          const QStringList& existingNames,
                                                          const std::optional<QUuid>& excludingId) {
    if (excludingId) {
        return ValidationResult::valid();
    }
    const QString trimmedName = NumberText::trimmed(name);
    const QString key = ProfileNameOrder::identityKey(trimmedName);
    for (const QString& existing : existingNames) {
        if (ProfileNameOrder::identityKey(existing) == key) {
            return ValidationResult::failure(QStringLiteral("A profile named '") + trimmedName +
                                             QStringLiteral("' already exists"));
        }
    }
    return ValidationResult::valid();
}

ValidationResult ProfileValidator::validateBandwidth(const QString& value, bool isEnabled,
                                                     BandwidthUnit unit) {
    // The most the helper takes, in the form's unit: 10000 Mbps, 10000000 Kbps.
    const std::int64_t perUnit = BandwidthUnits::bitsPerSecondPerUnit(unit);
    const std::int64_t maximum = Limits::kMaxBandwidthBytesPerSecond * 8 / perUnit;
    const QByteArray tooFast = QStringLiteral("Bandwidth cannot exceed %1 %2")
                                   .arg(maximum)
                                   .arg(BandwidthUnits::displaySuffix(unit))
                                   .toUtf8();
    return validateEnabled(
        value, isEnabled, "Bandwidth value is required", [&](const QString& text) -> const char* {
            const std::optional<std::int64_t> number = NumberText::wholeNumber(text);
            if (text.contains(u'.') || !number) {
                return "Bandwidth must be a valid number";
            }
            if (*number <= 0) {
                return "Bandwidth must be greater than 0";
            }
            // Converted as the throttle service converts it, in 128 bits.
            const __int128 bytes = static_cast<__int128>(*number) * perUnit / 8;
            return bytes > Limits::kMaxBandwidthBytesPerSecond ? tooFast.constData() : nullptr;
        });
}

ValidationResult ProfileValidator::validateLatency(const QString& value, bool isEnabled) {
    return validateMilliseconds(value, isEnabled, Limits::kMaxLatencyMs,
                                {"Latency value is required", "Latency must be a valid number",
                                 "Latency must be non-negative", "Latency cannot exceed %1 ms"});
}

ValidationResult ProfileValidator::validatePacketLoss(const QString& value, bool isEnabled) {
    return validatePercentage(value, isEnabled, "Packet loss");
}

ValidationResult ProfileValidator::validateDnsDelay(const QString& value, bool isEnabled) {
    return validateMilliseconds(value, isEnabled, Limits::kMaxDnsDelayMs,
                                {"DNS delay value is required", "DNS delay must be a valid number",
                                 "DNS delay must be non-negative",
                                 "DNS delay cannot exceed %1 ms"});
}

ValidationResult ProfileValidator::validateJitter(const QString& value, bool isEnabled) {
    return validateMilliseconds(value, isEnabled, Limits::kMaxLatencyMs,
                                {"Jitter value is required", "Jitter must be a valid number",
                                 "Jitter must be non-negative", "Jitter cannot exceed %1 ms"});
}

ValidationResult ProfileValidator::validatePacketLossCorrelation(const QString& value,
                                                                 bool isEnabled) {
    return validatePercentage(value, isEnabled, "Loss correlation",
                              Limits::kMaxLossCorrelationPercent);
}

ValidationResult ProfileValidator::validateReorder(const QString& value, bool isEnabled) {
    return validatePercentage(value, isEnabled, "Reordering");
}

ValidationResult ProfileValidator::validateDuplicate(const QString& value, bool isEnabled) {
    return validatePercentage(value, isEnabled, "Duplication");
}

ProfileValidationResult ProfileValidator::validateProfile(const ProfileFormData& form,
                                                          const QStringList& existingNames,
                                                          const std::optional<QUuid>& excludingId) {
    ProfileValidationResult result;
    record(result, validateName(form.name), Field::name);
    record(result, validateNameUniqueness(form.name, existingNames, excludingId), Field::name);
    record(result, validateBandwidth(form.downloadSpeed, form.hasDownloadLimit, form.downloadUnit),
           Field::downloadBandwidth, QStringLiteral("Download: "));
    record(result, validateBandwidth(form.uploadSpeed, form.hasUploadLimit, form.uploadUnit),
           Field::uploadBandwidth, QStringLiteral("Upload: "));
    record(result, validateLatency(form.latency, form.hasLatency), Field::latency,
           QStringLiteral("Latency: "));
    record(result, validatePacketLoss(form.packetLoss, form.hasPacketLoss), Field::packetLoss,
           QStringLiteral("Packet Loss: "));
    record(result, validateDnsDelay(form.dnsDelay, form.hasDnsDelay), Field::dnsDelay,
           QStringLiteral("DNS Delay: "));
    record(result, validateJitter(form.jitter, form.hasJitter), Field::jitter,
           QStringLiteral("Jitter: "));
    record(result,
           validatePacketLossCorrelation(form.packetLossCorrelation, form.hasPacketLossCorrelation),
           Field::packetLossCorrelation, QStringLiteral("Loss Correlation: "));
    record(result, validateReorder(form.reorder, form.hasReorder), Field::reorder,
           QStringLiteral("Reordering: "));
    record(result, validateDuplicate(form.duplicate, form.hasDuplicate), Field::duplicate,
           QStringLiteral("Duplication: "));
    recordDependencies(result, form);
    // Only the switches count: a switched-on field with bad text is still a
    // condition the user meant to set, and has its own message.
    if (!form.hasDownloadLimit && !form.hasUploadLimit && !form.hasLatency && !form.hasPacketLoss &&
        !form.hasDnsDelay && !form.hasJitter && !form.hasPacketLossCorrelation &&
        !form.hasReorder && !form.hasDuplicate) {
        record(result,
               ValidationResult::failure(
                   QStringLiteral("Profile must have at least one throttling option enabled")),
               Field::general);
    }
    result.isValid = result.errors.isEmpty();
    return result;
}
