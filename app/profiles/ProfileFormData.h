// SPDX-License-Identifier: MIT
#pragma once

#include "BandwidthUnit.h"
#include "ThrottleProfile.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

// The editor's form: every number as the text the user typed, each condition
// with its own switch so that switching one off keeps what was typed.
struct ProfileFormData {
    QString name;
    QString downloadSpeed;
    BandwidthUnit downloadUnit = BandwidthUnit::mbps;
    bool hasDownloadLimit = false;
    QString uploadSpeed;
    BandwidthUnit uploadUnit = BandwidthUnit::mbps;
    bool hasUploadLimit = false;
    QString latency;
    bool hasLatency = false;
    QString packetLoss;
    bool hasPacketLoss = false;
    QString dnsDelay;
    bool hasDnsDelay = false;
    QString jitter;
    bool hasJitter = false;
    QString packetLossCorrelation;
    bool hasPacketLossCorrelation = false;
    QString reorder;
    bool hasReorder = false;
    QString duplicate;
    bool hasDuplicate = false;
    // Not shown: the keys of the stored record this build does not know,
    // handed back to the profile the form makes so that saving keeps them.
    QJsonObject otherKeys;

    static ProfileFormData from(const ThrottleProfile& profile);

    // Meant for a form that passed validation; a switched-on text that still
    // does not parse leaves its condition out rather than inventing a value.
    ThrottleProfile to(const QUuid& id, bool isBuiltIn) const;

    bool operator==(const ProfileFormData&) const = default;
};
