// SPDX-License-Identifier: MIT
#pragma once

#include "BandwidthUnit.h"
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
    static ValidationResult validateName(const QString& name);
    // Editing passes the edited profile's id and skips the check altogether.
    static ValidationResult validateNameUniqueness(const QString& name,
                                                   const QStringList& existingNames,
                                                   const std::optional<QUuid>& excludingId);
    // The value counts in `unit`: 10000 Mbps is the most, and 10000 Kbps is not.
    static ValidationResult validateBandwidth(const QString& value, bool isEnabled,
                                              BandwidthUnit unit);
    static ValidationResult validateLatency(const QString& value, bool isEnabled);
    static ValidationResult validatePacketLoss(const QString& value, bool isEnabled);
    static ValidationResult validateDnsDelay(const QString& value, bool isEnabled);
    // Each on its own; how they bound one another (jitter within the
    // latency, a correlation only of a loss, reordering only ahead of a
    // delay) is checked with the whole form.
    static ValidationResult validateJitter(const QString& value, bool isEnabled);
    static ValidationResult validatePacketLossCorrelation(const QString& value, bool isEnabled);
    static ValidationResult validateReorder(const QString& value, bool isEnabled);
    static ValidationResult validateDuplicate(const QString& value, bool isEnabled);

    static ProfileValidationResult validateProfile(const ProfileFormData& form,
                                                   const QStringList& existingNames,
                                                   const std::optional<QUuid>& excludingId);
};
