// SPDX-License-Identifier: MIT
#include "ProfileValidator.h"

#include "NameCharacters.h"
#include "NumberText.h"
#include "ProfileDestinations.h"
#include "ProfileNameOrder.h"
#include "ProfileRecords.h"
#include "ScheduleValidator.h"
#include "SharedFile.h"
#include "ThrottleScope.h"

#include <algorithm>

namespace {

namespace Limits = ParameterLimits;

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

// Whole milliseconds of at most `maximum`. `what` starts each message.
ValidationResult validateMilliseconds(const QString& value, bool isEnabled, const char* what,
                                      std::int64_t maximum) {
    const QString subject = QString::fromUtf8(what);
    const QByteArray required = (subject + QStringLiteral(" value is required")).toUtf8();
    const QByteArray notANumber = (subject + QStringLiteral(" must be a valid number")).toUtf8();
    const QByteArray negative = (subject + QStringLiteral(" must be non-negative")).toUtf8();
    const QByteArray tooLong =
        (subject + QStringLiteral(" cannot exceed %1 ms").arg(maximum)).toUtf8();
    return validateEnabled(
        value, isEnabled, required.constData(), [&](const QString& text) -> const char* {
            const std::optional<std::int64_t> number = NumberText::wholeNumber(text);
            if (!number) {
                return notANumber.constData();
            }
            if (*number < 0) {
                return negative.constData();
            }
            return *number > maximum ? tooLong.constData() : nullptr;
        });
}

// A percentage of packets, in the helper's steps, of at most `maximum`.
// `what` starts each message.
ValidationResult validatePercentage(const QString& value, bool isEnabled, const char* what,
                                    double maximum = 100) {
    constexpr std::int64_t steps = Limits::kPercentStepsPerPercent;
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
Number enabledValue(const ConditionInput& input, Parse parse) {
    if (!input.isOn) {
        return 0;
    }
    return parse(NumberText::trimmed(input.text)).value_or(0);
}

// Appends a failed check to the flat list with its prefix and to the
// field's message without it; the first message for a field wins.
void record(ProfileValidationResult& result, const ValidationResult& check, Condition condition) {
    if (check.isValid) {
        return;
    }
    const QString message = check.message.value_or(QString());
    result.errors << QString::fromUtf8(NetworkConditions::field(condition).title) +
                         QStringLiteral(": ") + message;
    result.conditionErrors.try_emplace(condition, message);
}

void recordNameCheck(ProfileValidationResult& result, const ValidationResult& check) {
    if (check.isValid) {
        return;
    }
    const QString message = check.message.value_or(QString());
    result.errors << message;
    if (result.nameError.isEmpty()) {
        result.nameError = message;
    }
}

// The bounds the conditions set one another, as the helper checks them;
// a field whose own check failed has said so already.
void recordDependencies(ProfileValidationResult& result, const ConditionInputs& form) {
    const auto whole = [](const QString& text) { return NumberText::wholeNumber(text); };
    const auto decimal = [](const QString& text) { return NumberText::decimalNumber(text); };
    const auto input = [&](Condition condition) -> const ConditionInput& {
        return form[static_cast<std::size_t>(condition)];
    };
    const auto latency = enabledValue<std::int64_t>(input(Condition::latency), whole);
    const auto jitter = enabledValue<std::int64_t>(input(Condition::jitter), whole);
    const auto loss = enabledValue<double>(input(Condition::packetLoss), decimal);
    const auto correlation = enabledValue<double>(input(Condition::lossCorrelation), decimal);
    const auto reorder = enabledValue<double>(input(Condition::reorder), decimal);
    if (jitter > 0 && jitter > latency && jitter <= Limits::kMaxLatencyMs) {
        record(result,
               ValidationResult::failure(
                   latency > 0
                       ? QStringLiteral("Jitter cannot exceed the latency (%1 ms)").arg(latency)
                       : QStringLiteral("Jitter needs a latency at least as large")),
               Condition::jitter);
    }
    if (correlation > 0 && correlation <= Limits::kMaxLossCorrelationPercent && !(loss > 0)) {
        record(result,
               ValidationResult::failure(QStringLiteral("Loss correlation needs a packet loss")),
               Condition::lossCorrelation);
    }
    if (reorder > 0 && reorder <= 100 && latency < Limits::kMinReorderLatencyMs) {
        record(
            result,
            ValidationResult::failure(QStringLiteral("Reordering needs a latency of at least %1 ms")
                                          .arg(Limits::kMinReorderLatencyMs)),
            Condition::reorder);
    }
}

ValidationResult validateBandwidth(const QString& value, bool isEnabled, BandwidthUnit unit) {
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
            // Converted as the throttle service converts it.
            const std::optional<std::int64_t> bytes = Bandwidth{*number, unit}.bytesPerSecond();
            return !bytes || *bytes > Limits::kMaxBandwidthBytesPerSecond ? tooFast.constData()
                                                                          : nullptr;
        });
}

// The bytes of a custom profiles file that holds this profile alone.
qsizetype storedSize(const ProfileFormData& form) {
    return ProfileRecords::encode({form.to(QUuid(), false)}).size();
}

} // namespace

ValidationResult ProfileValidator::validateName(const QString& name, const QString& subject) {
    const QString trimmed = NumberText::trimmed(name);
    if (trimmed.isEmpty()) {
        return ValidationResult::failure(subject + QStringLiteral(" cannot be empty"));
    }
    const QList<char32_t> characters = NameCharacters::codePoints(trimmed);
    if (characters.size() > NameCharacters::kMaxLength) {
        return ValidationResult::failure(
            subject +
            QStringLiteral(" cannot be longer than %1 characters").arg(NameCharacters::kMaxLength));
    }
    for (const char32_t c : characters) {
        if (NameCharacters::isHidden(c)) {
            return ValidationResult::failure(
                subject + QStringLiteral(" cannot contain control, invisible formatting or "
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

ValidationResult ProfileValidator::validateCondition(Condition condition,
                                                     const ConditionInput& input) {
    const NetworkConditions::Field& field = NetworkConditions::field(condition);
    const auto maximum = static_cast<std::int64_t>(field.parameter().maximum);
    if (field.bandwidth != nullptr) {
        return validateBandwidth(input.text, input.isOn, input.unit);
    }
    if (field.milliseconds != nullptr) {
        return validateMilliseconds(input.text, input.isOn, field.subject, maximum);
    }
    return validatePercentage(input.text, input.isOn, field.subject, field.parameter().maximum);
}

ProfileValidationResult ProfileValidator::validateConditions(const ConditionInputs& inputs) {
    ProfileValidationResult result;
    for (const NetworkConditions::Field& field : NetworkConditions::fields()) {
        record(
            result,
            validateCondition(field.condition, inputs[static_cast<std::size_t>(field.condition)]),
            field.condition);
    }
    recordDependencies(result, inputs);
    result.isValid = result.errors.isEmpty();
    return result;
}

ValidationResult ProfileValidator::validateDestinations(const QString& lines) {
    const ProfileDestinations::Parsed parsed =
        ProfileDestinations::parse(ProfileDestinations::lines(lines));
    if (!parsed.error.isEmpty()) {
        return ValidationResult::failure(parsed.error);
    }
    if (parsed.destinations.empty()) {
        return ValidationResult::failure(
            QStringLiteral("List at least one destination, or apply the profile to all traffic"));
    }
    return ValidationResult::valid();
}

ValidationResult ProfileValidator::validateApplication(const QString& desktopId) {
    if (desktopId.isEmpty()) {
        return ValidationResult::failure(
            QStringLiteral("Choose an application, or apply the profile to all traffic"));
    }
    // The store would refuse to read the profile back.
    if (!ThrottleScope::isApplicationId(desktopId.toStdString())) {
        return ValidationResult::failure(
            QStringLiteral("'%1' is no desktop id: letters, digits and \"._+-\" only")
                .arg(desktopId));
    }
    return ValidationResult::valid();
}

ProfileValidationResult ProfileValidator::validateProfile(const ProfileFormData& form,
                                                          const QStringList& existingNames,
                                                          const std::optional<QUuid>& excludingId) {
    ProfileValidationResult result;
    recordNameCheck(result, validateName(form.name));
    recordNameCheck(result, validateNameUniqueness(form.name, existingNames, excludingId));
    const ProfileValidationResult conditions = validateConditions(form.conditions);
    result.errors << conditions.errors;
    result.conditionErrors = conditions.conditionErrors;
    const bool anyOn = std::any_of(form.conditions.begin(), form.conditions.end(),
                                   [](const ConditionInput& input) { return input.isOn; });
    if (form.appliesTo == ProfileFormData::AppliesTo::destinations) {
        const ValidationResult destinations = validateDestinations(form.destinationsText);
        if (!destinations.isValid) {
            result.destinationsError = destinations.message.value_or(QString());
            result.errors << QStringLiteral("Applies to: ") + result.destinationsError;
        }
    } else if (form.appliesTo == ProfileFormData::AppliesTo::application) {
        const ValidationResult application = validateApplication(form.application);
        if (!application.isValid) {
            result.applicationError = application.message.value_or(QString());
            result.errors << QStringLiteral("Applies to: ") + result.applicationError;
        }
    }
    const QStringList scheduleErrors = ScheduleValidator::validate(form.schedule);
    if (!scheduleErrors.isEmpty()) {
        result.scheduleError = scheduleErrors.first();
        result.errors << scheduleErrors;
    } else if (storedSize(form) >= SharedFile::kMaxSize) {
        // The bound is on the whole file, which holds the others too; this
        // is a profile no file could hold. A trace within its own bounds
        // takes some 11 MB at most, so it takes a newer build's keys as well.
        result.scheduleError = QStringLiteral("The profile would take %1 or more to store")
                                   .arg(QLatin1StringView(SharedFile::kMaxSizeText));
        result.errors << result.scheduleError;
    }
    // Only the switches count: a switched-on field with bad text is still a
    // condition the user meant to set, and has its own message.
    if (!anyOn && form.schedule.empty()) {
        result.errors << QStringLiteral("Profile must have at least one throttling option enabled");
    }
    result.isValid = result.errors.isEmpty();
    return result;
}
