// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <utility>

// Who may change throttling. Root always may; anyone else only with the
// system's authority's consent, asked without any interaction.
class Authorization {
public:
    struct Decision {
        bool allowed = false;
        // The caller's user and process, when the bus could tell them.
        std::optional<uint> uid;
        std::optional<uint> pid;
    };

    virtual ~Authorization() = default;

    // `caller` is a unique bus name. `done` runs exactly once, on the
    // calling thread, possibly before check() returns.
    void check(const QString& caller, std::function<void(Decision)> done) {
        checkUnless(caller, nullptr, std::move(done));
    }
    // As check(), but a caller whose user id `isOwn` (when given) accepts
    // needs no consent: what it asks concerns only what it owns.
    virtual void checkUnless(const QString& caller, std::function<bool(uint uid)> isOwn,
                             std::function<void(Decision)> done) = 0;
};
