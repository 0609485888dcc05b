// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleDictionary.h"
#include "ThrottleParameters.h"
#include "ThrottleScope.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <algorithm>
#include <optional>

// Who switched throttling on, as the helper tells it.
struct ThrottleOwner {
    // The owner's unique bus name.
    QString busName;
    uint uid = 0;
    uint pid = 0;
    // What the owner said it is: "Veltrane", "veltranectl run: make test".
    // Empty for clients that use only the original nine methods.
    QString description;
    QDateTime since;
    // Removed by the helper when the owner's bus connection closes.
    bool held = false;
    // The owner is the client that decoded this state (its current bus
    // connection); set by the client, never sent.
    bool isThisClient = false;

    // The description, or the process when the owner gave none.
    QString displayName() const;

    // Decodes the state's owner dictionary; a value of the wrong type
    // counts as absent.
    static ThrottleOwner fromWire(const QVariantMap& owner);

    bool operator==(const ThrottleOwner&) const = default;
};

// One throttle the helper has on, as its state lists it.
struct HelperThrottle {
    // What EndThrottle takes.
    quint64 id = 0;
    ThrottleScope scope;
    // The addresses a destination scope shapes, as the helper has them in
    // force: host names appear only among the scope's names.
    QStringList addresses;
    ThrottleParameters configuration;
    ThrottleOwner owner;
    // Where its schedule stands, for a throttle that plays one: the phase
    // and when the next begins, as of the last change of phase.
    std::optional<ScheduleDictionary::Standing> schedule = {};

    bool operator==(const HelperThrottle&) const = default;
};

// The helper's throttling as it publishes it: after every change, and on
// every read.
struct HelperState {
    // Whether the helper could be asked at all; false while it is not on the
    // bus or did not answer, and then nothing else is known.
    bool available = false;
    // Shaping is (or may still be) in force.
    bool active = false;
    // Grows with every change in one helper process.
    quint64 serial = 0;
    // Only while active.
    std::optional<ThrottleParameters> configuration;
    std::optional<ThrottleOwner> owner;
    // Set after a clean-up that could not remove everything.
    QString failure;
    // Every throttle in force, oldest first. Empty from a helper that keeps
    // one throttle only: then configuration and owner tell it.
    QList<HelperThrottle> throttles = {};

    // Decodes GetState's answer or StateChanged's argument. Keys it does not
    // know are ignored; a value of the wrong type counts as absent.
    static HelperState fromWire(const QVariantMap& state);

    bool isOwnedByThisClient() const { return active && owner && owner->isThisClient; }
    bool lists(quint64 id) const {
        return std::any_of(throttles.begin(), throttles.end(),
                           [id](const HelperThrottle& t) { return t.id == id; });
    }

    bool operator==(const HelperState&) const = default;
};
