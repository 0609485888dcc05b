// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>
#include <optional>

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
    virtual void check(const QString& caller, std::function<void(Decision)> done) = 0;
};
