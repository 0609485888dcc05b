// SPDX-License-Identifier: MIT
#include "ProfileFormData.h"

#include "NumberText.h"
#include "ProfileDestinations.h"

#include <utility>

namespace {

using Field = NetworkConditions::Field;

ConditionInput inputShowing(const Field& field, const NetworkConditions& conditions) {
    ConditionInput input;
    if (field.bandwidth != nullptr) {
        if (const auto& bandwidth = conditions.*field.bandwidth) {
            input = {QString::number(bandwidth->value), true, bandwidth->unit};
        }
    } else if (field.milliseconds != nullptr) {
        if (const auto& number = conditions.*field.milliseconds) {
            input = {QString::number(*number), true};
        }
    } else if (const auto& percent = conditions.*field.percent; percent && *percent > 0) {
        // A present zero is how a profile says "none": it opens switched
        // off, like an absent one.
        input = {NumberText::shortestDecimalText(*percent), true};
    }
    return input;
}

std::optional<std::int64_t> wholeNumber(const ConditionInput& input) {
    if (!input.isOn || input.text.isEmpty()) {
        return std::nullopt;
    }
    return NumberText::wholeNumber(NumberText::trimmed(input.text));
}

// To what the helper shapes: "12.345678" is stored as 12.3457, and no
// denormal reaches the file or the helper.
std::optional<double> percentInSteps(const ConditionInput& input) {
    if (!input.isOn) {
        return std::nullopt;
    }
    const std::optional<double> percent =
        NumberText::decimalNumber(NumberText::trimmed(input.text));
    if (!percent) {
        return std::nullopt;
    }
    return NumberText::roundedToSteps(*percent, ParameterLimits::kPercentStepsPerPercent);
}

void readInput(const Field& field, const ConditionInput& input, NetworkConditions& conditions) {
    if (field.bandwidth != nullptr) {
        const std::optional<std::int64_t> value = wholeNumber(input);
        conditions.*field.bandwidth =
            value ? std::optional<Bandwidth>(Bandwidth{*value, input.unit}) : std::nullopt;
    } else if (field.milliseconds != nullptr) {
        conditions.*field.milliseconds = wholeNumber(input);
    } else {
        conditions.*field.percent = percentInSteps(input);
    }
}

} // namespace

ConditionInputs ProfileFormData::inputsShowing(const NetworkConditions& conditions) {
    ConditionInputs inputs;
    for (const Field& field : NetworkConditions::fields()) {
        inputs[static_cast<std::size_t>(field.condition)] = inputShowing(field, conditions);
    }
    return inputs;
}

NetworkConditions ProfileFormData::conditionsOf(const ConditionInputs& inputs) {
    NetworkConditions conditions;
    for (const Field& field : NetworkConditions::fields()) {
        readInput(field, inputs[static_cast<std::size_t>(field.condition)], conditions);
    }
    return conditions;
}

ProfileFormData ProfileFormData::from(const ThrottleProfile& profile) {
    ProfileFormData form;
    form.name = profile.name;
    form.conditions = inputsShowing(profile.conditions);
    // A stored record with both is shaped as the application's, as the
    // throttle service applies it.
    form.appliesTo = !profile.application.isEmpty()  ? AppliesTo::application
                     : !profile.destinations.empty() ? AppliesTo::destinations
                                                     : AppliesTo::allTraffic;
    form.destinationsText = ProfileDestinations::texts(profile.destinations).join(u'\n');
    form.application = profile.application;
    form.schedule = profile.schedule;
    form.otherKeys = profile.otherKeys;
    return form;
}

ThrottleProfile ProfileFormData::to(const QUuid& id, bool isBuiltIn) const {
    // The constructor clamps the loss into 0 to 100.
    ThrottleProfile profile(id, NumberText::trimmed(name), conditionsOf(conditions), isBuiltIn,
                            true);
    if (appliesTo == AppliesTo::destinations) {
        ProfileDestinations::Parsed parsed =
            ProfileDestinations::parse(ProfileDestinations::lines(destinationsText));
        if (parsed.error.isEmpty()) {
            profile.destinations = std::move(parsed.destinations);
        }
    }
    // What is saved of a phase is what its inputs passed, as for the
    // profile's own conditions.
    profile.schedule = schedule;
    for (ProfilePhase& phase : profile.schedule.phases) {
        phase.name = NumberText::trimmed(phase.name);
        if (phase.conditions) {
            phase.conditions = conditionsOf(inputsShowing(*phase.conditions));
        }
    }
    if (appliesTo == AppliesTo::application) {
        profile.application = application;
    }
    profile.otherKeys = otherKeys;
    return profile;
}
