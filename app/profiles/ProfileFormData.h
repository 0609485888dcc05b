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
    // What traffic the profile shapes: one scope at a time, as a throttle
    // has one. In the editor's order of choices.
    enum class AppliesTo { allTraffic, destinations, application };

    QString name;
    ConditionInputs conditions;
    AppliesTo appliesTo = AppliesTo::allTraffic;
    // Each scope's input is kept as it was while another is chosen, so that
    // choosing it again brings it back; only the chosen one is saved.
    // The destinations as typed, one a line.
    QString destinationsText;
    // The desktop id of the application; empty while none is chosen.
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
