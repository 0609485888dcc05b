// SPDX-License-Identifier: MIT
#pragma once

#include "Bandwidth.h"
#include "Destination.h"
#include "NetworkConditions.h"
#include "ProfileSchedule.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <vector>

// A named set of network conditions. Identity and the built-in flag are
// fixed at construction.
class ThrottleProfile final {
public:
    // Clamps a present packet loss into 0 to 100: this is how the application
    // builds profiles for the user. Decoding keeps stored values as they are.
    ThrottleProfile(QUuid id, QString name, const NetworkConditions& conditions, bool isBuiltIn,
                    bool showInMenu);
    // The five conditions of the built-in table, the others left out.
    ThrottleProfile(QUuid id, QString name, std::optional<Bandwidth> downloadBandwidth,
                    std::optional<Bandwidth> uploadBandwidth, std::optional<std::int64_t> latency,
                    std::optional<double> packetLossPercent, std::optional<std::int64_t> dnsDelay,
                    bool isBuiltIn, bool showInMenu);

    QUuid id() const { return m_id; }
    bool isBuiltIn() const { return m_isBuiltIn; }

    QString name;
    NetworkConditions conditions;
    // Where the conditions apply; none means all traffic. Built-in profiles
    // have none.
    std::vector<Destination> destinations;
    // The desktop id of the one application the conditions apply to, such
    // as "com.slack.Slack"; empty for none. Never with destinations.
    QString application;
    bool showInMenu = true;
    // How the conditions change over time; empty for conditions that hold.
    // With phases, each phase's conditions are what is in force; with a
    // trace, these conditions with the trace's rates.
    ProfileSchedule schedule;
    // The keys of a stored record that this build does not know (a newer
    // build's conditions, say), kept to be written back with the profile.
    QJsonObject otherKeys;

    // The one-line summary of listings, e.g. "D: 780 Kbps, U: 330 Kbps, 100ms", ending
    // "only to api.example.com, :443" when the profile has destinations: the
    // conditions' summary and the scope's. A schedule is said first: "3
    // phases, repeating"; "Trace 12 min, 50ms", a trace's own rates standing
    // for the profile's in the directions it covers.
    QString shortDescription() const;
    QString conditionsDescription() const;
    // Empty for all traffic.
    QString scopeDescription() const;
    // The packet loss of the panel's compact statistics line, e.g. "None", "1%", "2.5%".
    QString formattedPacketLoss() const;

    // The upper-case hyphenated text under which settings refer to a profile.
    static QString idText(const QUuid& id);
    // Only the 36-character hyphenated form, in either case, is an id.
    static std::optional<QUuid> idFromText(const QString& text);

    bool operator==(const ThrottleProfile&) const = default;

    struct Preset {
        // The profiles that ship with the application, in ascending name order.
        static const QList<ThrottleProfile>& profiles();
    };

private:
    QUuid m_id;
    bool m_isBuiltIn = false;
};

size_t qHash(const ThrottleProfile& profile, size_t seed = 0);
