// SPDX-License-Identifier: MIT
#include "ProfileValidator.h"

#include "NumberText.h"
#include "ProfileNameOrder.h"

namespace {

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

ValidationResult validateMilliseconds(const QString& value, bool isEnabled, const char* required,
                                      const char* notANumber, const char* negative) {
    return validateEnabled(value, isEnabled, required, [&](const QString& text) -> const char* {
        const std::optional<std::int64_t> number = NumberText::wholeNumber(text);
        if (!number) {
            return notANumber;
        }
        return *number < 0 ? negative : nullptr;
    });
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

} // namespace

ValidationResult ProfileValidator::validateName(const QString& name) {
    if (NumberText::trimmed(name).isEmpty()) {
        return ValidationResult::failure(QStringLiteral("Profile name cannot be empty"));
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

ValidationResult ProfileValidator::validateBandwidth(const QString& value, bool isEnabled) {
    return validateEnabled(
        value, isEnabled, "Bandwidth value is required", [](const QString& text) -> const char* {
            const std::optional<std::int64_t> number = NumberText::wholeNumber(text);
            if (text.contains(u'.') || !number) {
                return "Bandwidth must be a valid number";
            }
            return *number <= 0 ? "Bandwidth must be greater than 0" : nullptr;
        });
}

ValidationResult ProfileValidator::validateLatency(const QString& value, bool isEnabled) {
    return validateMilliseconds(value, isEnabled, "Latency value is required",
                                "Latency must be a valid number", "Latency must be non-negative");
}

ValidationResult ProfileValidator::validatePacketLoss(const QString& value, bool isEnabled) {
    return validateEnabled(value, isEnabled, "Packet loss value is required",
                           [](const QString& text) -> const char* {
                               const std::optional<double> number = NumberText::decimalNumber(text);
                               if (!number) {
                                   return "Packet loss must be a valid number";
                               }
                               const bool inRange = *number >= 0 && *number <= 100; // false for NaN
                               return inRange ? nullptr : "Packet loss must be between 0 and 100";
                           });
}

ValidationResult ProfileValidator::validateDnsDelay(const QString& value, bool isEnabled) {
    return validateMilliseconds(value, isEnabled, "DNS delay value is required",
                                "DNS delay must be a valid number",
                                "DNS delay must be non-negative");
}

ProfileValidationResult ProfileValidator::validateProfile(const ProfileFormData& form,
                                                          const QStringList& existingNames,
                                                          const std::optional<QUuid>& excludingId) {
    ProfileValidationResult result;
    record(result, validateName(form.name), Field::name);
    record(result, validateNameUniqueness(form.name, existingNames, excludingId), Field::name);
    record(result, validateBandwidth(form.downloadSpeed, form.hasDownloadLimit),
           Field::downloadBandwidth, QStringLiteral("Download: "));
    record(result, validateBandwidth(form.uploadSpeed, form.hasUploadLimit), Field::uploadBandwidth,
           QStringLiteral("Upload: "));
    record(result, validateLatency(form.latency, form.hasLatency), Field::latency,
           QStringLiteral("Latency: "));
    record(result, validatePacketLoss(form.packetLoss, form.hasPacketLoss), Field::packetLoss,
           QStringLiteral("Packet Loss: "));
    record(result, validateDnsDelay(form.dnsDelay, form.hasDnsDelay), Field::dnsDelay,
           QStringLiteral("DNS Delay: "));
    // Only the switches count: a switched-on field with bad text is still a
    // condition the user meant to set, and has its own message.
    if (!form.hasDownloadLimit && !form.hasUploadLimit && !form.hasLatency && !form.hasPacketLoss &&
        !form.hasDnsDelay) {
        record(result,
               ValidationResult::failure(
                   QStringLiteral("Profile must have at least one throttling option enabled")),
               Field::general);
    }
    result.isValid = result.errors.isEmpty();
    return result;
}
