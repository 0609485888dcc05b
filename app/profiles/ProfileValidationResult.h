// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <map>

// The outcome of checking a whole form: the flat list feeds the editor's error
// box, the per-field map the hints under each input.
struct ProfileValidationResult {
    enum class ProfileField {
        name,
        downloadBandwidth,
        uploadBandwidth,
        latency,
        packetLoss,
        dnsDelay,
        jitter,
        packetLossCorrelation,
        reorder,
        duplicate,
        general
    };

    bool isValid = true;
    QStringList errors;
    std::map<ProfileField, QString> fieldErrors;
};
