// SPDX-License-Identifier: MIT
#pragma once

#include "BandwidthUnit.h"
#include "NetworkConditions.h"
#include "ProfileSchedule.h"
#include "ThrottleProfile.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <array>

// One condition of the form: the number as typed, with its own switch, so
// that switching it off keeps what was typed.
struct ConditionInput {
    QString text;
    bool isOn = false;
    // Bandwidths only.
    BandwidthUnit unit = BandwidthUnit::mbps;

    bool operator==(const ConditionInput&) const = default;
};

using ConditionInputs = std::array<ConditionInput, kConditionCount>;

// The editor's form: the name and every condition as the text the user typed.
struct ProfileFormData {
    QString name;
    ConditionInputs conditions;
    // "Only traffic to…" rather than all traffic. The list is kept as typed,
    // one destination a line, when all traffic is chosen again.
    bool onlyToDestinations = false;
    QString destinationsText;
    // The desktop id of the application the profile is for; empty for none.
    // Kept as the profile has it: the editor does not choose it yet.
    QString application;
    // As the profile has it; each phase's conditions are checked as the
    // form's are, and made again from their inputs when the form is saved.
    ProfileSchedule schedule;
    // Not shown: the keys of the stored record this build does not know,
    // handed back to the profile the form makes so that saving keeps them.
    QJsonObject otherKeys;

    ConditionInput& operator[](Condition condition) {
        return conditions[static_cast<std::size_t>(condition)];
    }
    const ConditionInput& operator[](Condition condition) const {
        return conditions[static_cast<std::size_t>(condition)];
    }

    static ProfileFormData from(const ThrottleProfile& profile);

    // Conditions as the form shows them, and back as the form saves them:
    // a percentage in the helper's steps, a negative one as none.
    static ConditionInputs inputsShowing(const NetworkConditions& conditions);
    static NetworkConditions conditionsOf(const ConditionInputs& inputs);

    // Meant for a form that passed validation; a switched-on text that still
    // does not parse leaves its condition out rather than inventing a value,
    // and a list that does not parse applies to all traffic.
    ThrottleProfile to(const QUuid& id, bool isBuiltIn) const;

    bool operator==(const ProfileFormData&) const = default;
};
