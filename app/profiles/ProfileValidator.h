// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkConditions.h"
#include "ProfileFormData.h"
#include "ProfileValidationResult.h"
#include "ValidationResult.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// Checks a profile form before it is saved. Stateless: every check is a pure
// function of its arguments. What it passes, the helper accepts: the limits
// are the helper's own.
class ProfileValidator final {
public:
    ProfileValidator() = delete;

    // Not empty, at most NameCharacters::kMaxLength characters, none hidden.
    // `subject` starts each message: a phase's name follows the same rules.
    static ValidationResult validateName(const QString& name,
                                         const QString& subject = QStringLiteral("Profile name"));
    // Editing passes the edited profile's id and skips the check altogether.
    static ValidationResult validateNameUniqueness(const QString& name,
                                                   const QStringList& existingNames,
                                                   const std::optional<QUuid>& excludingId);
    // One condition on its own, by its kind: a bandwidth counts in its unit
    // (10000 Mbps is the most, and 10000 Kbps is not), milliseconds and
    // percentages within the helper's limit of the condition. How conditions
    // bound one another is checked with the whole form.
    static ValidationResult validateCondition(Condition condition, const ConditionInput& input);

    // Each condition's own check and the bounds they set one another, as
    // validateProfile checks a form's: the errors' list and each
    // condition's first message.
    static ProfileValidationResult validateConditions(const ConditionInputs& inputs);

    // The list of "Only traffic to…", one entry a line, blank lines skipped:
    // at least one entry, each well-formed and none twice, at most
    // ThrottleScope::kMaxDestinations. The message names the entry at fault.
    static ValidationResult validateDestinations(const QString& lines);

    // The application of "Only an application": one is chosen, by a desktop
    // id a throttle can name.
    static ValidationResult validateApplication(const QString& desktopId);

    // The schedule is checked whole (ScheduleValidator), and a profile with
    // one may leave its own conditions out: its phases or trace say what is
    // in force.
    static ProfileValidationResult validateProfile(const ProfileFormData& form,
                                                   const QStringList& existingNames,
                                                   const std::optional<QUuid>& excludingId);
};
